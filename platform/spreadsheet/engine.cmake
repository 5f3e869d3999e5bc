# The workbook model over the package and formula libraries.
find_package(pugixml REQUIRED)
tabrix_library(tabrix_spreadsheet
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cell_address.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cell_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/comments.cpp
    ${CMAKE_CURRENT_LIST_DIR}/copy_range.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drawings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formula_context.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hyperlinks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/object_parts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/range_rules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shared_strings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sheet_objects.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sheet_io.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sheet_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/styles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/workbook.cpp
    ${CMAKE_CURRENT_LIST_DIR}/worksheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_parse.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_scan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_text.cpp
  DEPS tabrix_xlpackage tabrix_formula tabrix_rtl pugixml::pugixml)
