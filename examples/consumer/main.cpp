// customers DATABASE TEMPLATE OUTPUT: a report of the customers of the
// example database, built with the installed library (one master band, row
// 5 of the template's Report sheet, which shows #customer).

#include <tabrix/platform/db/db.h>
#include <tabrix/report/tabrix.h>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: customers DATABASE TEMPLATE OUTPUT\n");
        return 2;
    }
    try {
        tabrix::TDataModule module;
        auto* db = new tabrix::TSQLiteConnection(&module);  // owned by the module
        db->SetDatabase(argv[1]);
        auto* customers = new tabrix::TSQLQuery(&module);
        customers->SetConnection(db);
        customers->SQL()->SetText("select name as customer from customers order by region, name");

        auto* report = new tabrix::TTabrix(&module);
        report->SetDataSet(customers);
        report->SetTemplate(argv[2]);
        report->TemplSheet = "Report";
        report->Bands()->AddBand(tabrix::tbxbtMasterData)->SetRange("A5:F5");
        report->Show(argv[3]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "customers: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", argv[3]);
    return 0;
}
