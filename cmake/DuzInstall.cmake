# Installs the SDK as a CMake package: find_package(duzsdk) gives the imported
# target duzsdk::duzsdk with its headers, the platform library and libgcrypt.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(DUZ_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/duzsdk)
set(DUZ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/duzsdk)

install(TARGETS duzsdk duzplatform EXPORT duzsdkTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${DUZ_INSTALL_INCLUDEDIR})
# Sources include each other from the source root ("sdk/io/KDuzImporter.h"),
# and so do users: the tree keeps its shape below include/duzsdk.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sdk/ DESTINATION ${DUZ_INSTALL_INCLUDEDIR}/sdk
  FILES_MATCHING PATTERN "*.h")
file(GLOB DUZ_PLATFORM_HEADERS ${PROJECT_SOURCE_DIR}/platform/*.h)
install(FILES ${DUZ_PLATFORM_HEADERS} DESTINATION ${DUZ_INSTALL_INCLUDEDIR}/platform)

install(EXPORT duzsdkTargets NAMESPACE duzsdk:: DESTINATION ${DUZ_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/duzsdkConfig.cmake.in
  ${PROJECT_BINARY_DIR}/duzsdkConfig.cmake INSTALL_DESTINATION ${DUZ_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/duzsdkConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/duzsdkConfig.cmake ${PROJECT_BINARY_DIR}/duzsdkConfigVersion.cmake
  DESTINATION ${DUZ_INSTALL_CMAKEDIR})
