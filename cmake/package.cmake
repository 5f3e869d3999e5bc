# What `cmake --install build --prefix P` puts under P:
#   include/tabrix/<layer>/...h    the headers, as the tree has them
#   lib/libtabrix_*.a              one static library per layer
#   lib/cmake/Tabrix/              find_package(Tabrix) -> Tabrix::tabrix
#   lib/pkgconfig/tabrix.pc        pkg-config --cflags --libs tabrix
#   bin/tabrix                     the command
# A program includes <tabrix/report/tabrix.h>; the headers include each
# other as "platform/rtl/strings.h", hence the second include folder.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

get_property(tabrix_libraries GLOBAL PROPERTY TABRIX_LIBRARIES)
# The command's own verbs are not part of the library.
list(REMOVE_ITEM tabrix_libraries tabrix_cli_verbs)

# One target for users of the package: every layer and what they need.
add_library(tabrix_package INTERFACE)
target_link_libraries(tabrix_package INTERFACE ${tabrix_libraries} ZLIB::ZLIB)
target_include_directories(tabrix_package INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(tabrix_package PROPERTIES EXPORT_NAME tabrix)
find_package(ZLIB REQUIRED)

foreach(layer IN LISTS TABRIX_LAYERS)
  if(layer STREQUAL "cli")
    continue()
  endif()
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${layer}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tabrix/${layer}
          FILES_MATCHING PATTERN "*.h")
endforeach()

install(TARGETS ${tabrix_libraries} tabrix_package EXPORT TabrixTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS tabrix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(tabrix_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tabrix)
install(EXPORT TabrixTargets NAMESPACE Tabrix:: FILE TabrixTargets.cmake DESTINATION ${tabrix_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TabrixConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/TabrixConfig.cmake INSTALL_DESTINATION ${tabrix_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TabrixConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TabrixConfig.cmake ${PROJECT_BINARY_DIR}/TabrixConfigVersion.cmake
        DESTINATION ${tabrix_cmake_dir})

# tabrix.pc: the static libraries from the highest layer down, so that a
# plain linker finds every symbol in one pass.
set(TABRIX_PC_LIBS "")
set(tabrix_pc_order ${tabrix_libraries})
list(REMOVE_ITEM tabrix_pc_order tabrix_messages)  # header only
list(REVERSE tabrix_pc_order)
foreach(lib IN LISTS tabrix_pc_order)
  string(REGEX REPLACE "^tabrix_" "-ltabrix_" flag ${lib})
  string(APPEND TABRIX_PC_LIBS " ${flag}")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/tabrix.pc.in ${PROJECT_BINARY_DIR}/tabrix.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tabrix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
