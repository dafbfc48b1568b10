# Installs the headers, the libraries, the CMake package and the pkg-config file.
include(CMakePackageConfigHelpers)

set(VX_INSTALL_TARGETS VX_CPath VX_Nav VroGeo)
foreach(t VroRead VroRoute)
  if(TARGET ${t})
    list(APPEND VX_INSTALL_TARGETS ${t})
  endif()
endforeach()

install(TARGETS ${VX_INSTALL_TARGETS} EXPORT VX_CPathTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(dir CPath interfaces geometry BaseLib)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/VX_CPath/${dir}
    FILES_MATCHING PATTERN "*.h" PATTERN "*Internal*.h" EXCLUDE)
endforeach()

# The navigator's one public header; its internal headers stay in the tree.
install(FILES ${PROJECT_SOURCE_DIR}/nav/Navigator.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/VX_CPath/nav)

set(VX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VX_CPath)
install(EXPORT VX_CPathTargets NAMESPACE VX_CPath:: DESTINATION ${VX_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VX_CPathConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VX_CPathConfig.cmake INSTALL_DESTINATION ${VX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VX_CPathConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VX_CPathConfig.cmake
  ${PROJECT_BINARY_DIR}/VX_CPathConfigVersion.cmake DESTINATION ${VX_CMAKE_DIR})

set(VX_PC_LIBS "")
foreach(t ${VX_INSTALL_TARGETS})
  string(APPEND VX_PC_LIBS " -l${t}")
endforeach()
# The prefix as a path from the .pc file's folder, so that the file stays
# right wherever the installation is put (cmake --install --prefix, a copy).
file(RELATIVE_PATH VX_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/VX_CPath.pc.in ${PROJECT_BINARY_DIR}/VX_CPath.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/VX_CPath.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
