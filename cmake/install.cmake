# `cmake --install`: the library, its headers, the `lumora` command, and a
# package configuration for find_package(lumora) with the target lumora::lumora.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The headers use C++20: programs that include them need it too.
target_compile_features(lumora PUBLIC cxx_std_20)
# The installed command finds the installed library next to it.
set_target_properties(lumora_command PROPERTIES
  INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

install(TARGETS lumora EXPORT lumoraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS lumora_command RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/lumora DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

set(LUMORA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/lumora)
install(EXPORT lumoraTargets NAMESPACE lumora:: DESTINATION ${LUMORA_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/lumoraConfig.cmake.in
  ${PROJECT_BINARY_DIR}/lumoraConfig.cmake INSTALL_DESTINATION ${LUMORA_CMAKE_DIR})
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/lumoraConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/lumoraConfig.cmake ${PROJECT_BINARY_DIR}/lumoraConfigVersion.cmake
  DESTINATION ${LUMORA_CMAKE_DIR})
