# Tests of the workbook model (tests/platform/spreadsheet/) and of the
# automation face (tests/automation/).
find_package(pugixml REQUIRED)
  tabrix_test(spreadsheet_engine_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/engine_fixture.cpp
      ${CMAKE_CURRENT_LIST_DIR}/cell_address_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/workbook_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/cell_text_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/copy_range_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/model_parts_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/limits_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/range_rules_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/sheet_reader_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/sheet_parts_fixture.cpp
      ${CMAKE_CURRENT_LIST_DIR}/kept_attributes_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/hyperlinks_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/notes_test.cpp
      ${CMAKE_CURRENT_LIST_DIR}/drawings_test.cpp
    DEPS tabrix_spreadsheet pugixml::pugixml)

# The corpus as an oracle: the engine recomputes every formula of the real
# workbooks and meets the values their writers stored.
tabrix_test(cached_values_oracle_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/cached_values_oracle_test.cpp
  DEPS tabrix_spreadsheet
  LABELS corpus)
