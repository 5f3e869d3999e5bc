#include "platform/classes/formfile.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/classes/application.h"
#include "platform/classes/filer.h"
#include "platform/classes/formtext.h"
#include "platform/rtl/files.h"
#include "platform/rtl/format.h"

namespace tabrix {

namespace {

void CheckRootClass(const TFormValues& values, const std::string& fileName) {
    if (values.empty() || values.front().Type != TValueType::vaObject) return;  // the reader reports it
    const TFormValue& h = values.front();
    const TClassInfo* info = FindClass(h.Text);
    if (!info) throw EClassNotFound(Format("%s, line %d: class %s is not registered", {fileName, h.Line, h.Text}));
    if (!info->InheritsFrom(TDataModule::StaticClassInfo()) && !info->InheritsFrom(TForm::StaticClassInfo()))
        throw EReadError(Format("%s, line %d: the root object %s is a %s; a data module or form expected",
                                {fileName, h.Line, h.Name, h.Text}));
}

}  // namespace

std::unique_ptr<TComponent> ReadFormText(std::string_view text, const std::string& fileName) {
    TFormValues values = ObjectTextToValues(text, fileName);
    CheckRootClass(values, fileName);
    TReader reader(values, fileName);
    return std::unique_ptr<TComponent>(reader.ReadRootComponent(nullptr));
}

std::unique_ptr<TComponent> LoadFormFile(const std::string& fileName) {
    return ReadFormText(ReadFileBytes(fileName), fileName);
}

void ReadFormTextInto(TComponent& root, std::string_view text, const std::string& fileName) {
    TFormValues values = ObjectTextToValues(text, fileName);
    TReader reader(values, fileName);
    reader.ReadRootComponent(&root);
}

void LoadFormFileInto(TComponent& root, const std::string& fileName) {
    ReadFormTextInto(root, ReadFileBytes(fileName), fileName);
}

std::string WriteFormText(TComponent& root, TComponent* ancestor) {
    TFormValues values;
    TWriter writer(values);
    writer.WriteDescendent(root, ancestor);
    return ObjectValuesToText(values);
}

void SaveFormFile(const std::string& fileName, TComponent& root, TComponent* ancestor) {
    std::string text = WriteFormText(root, ancestor);
    if (text.size() > kFormMaxTextSize)
        throw EWriteError(
            Format("%s: the form would be %d bytes, larger than the %d bytes a form file may have",
                   {fileName, static_cast<int64_t>(text.size()), static_cast<int64_t>(kFormMaxTextSize)}));
    // A new file beside the target, renamed into place: a failed save leaves
    // the old file as it was.
    std::string folder = ExtractFilePath(fileName);
    std::string temp = CreateUniqueTempFile(folder.empty() ? std::string("./") : folder, "TBR");
    TTempFileGuard guard(temp);
    WriteFileBytes(temp, text);
    // The unique temporary file is private (0600); the form keeps the mode
    // of the file it replaces, or the usual mode of a new file.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(fileName.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(temp.c_str(), mode);
    if (std::rename(temp.c_str(), fileName.c_str()) != 0)
        throw EFCreateError(Format("Cannot replace %s with the new form", {fileName}));
    guard.Release();
}

}  // namespace tabrix
