# What an installed prefix offers a build that uses the control: the CMake
# package zubmp3 (target zubmp3::control, relocatable with its prefix) and the
# pkg-config file zubmp3.pc; and the README for the users of the package.
include(CMakePackageConfigHelpers)

set(ZUBMP3_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zubmp3)
install(EXPORT zubmp3Targets NAMESPACE zubmp3:: DESTINATION ${ZUBMP3_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zubmp3Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/zubmp3Config.cmake INSTALL_DESTINATION ${ZUBMP3_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/zubmp3ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zubmp3Config.cmake ${CMAKE_CURRENT_BINARY_DIR}/zubmp3ConfigVersion.cmake
  DESTINATION ${ZUBMP3_CMAKE_DIR})

# zubmp3.pc names the prefix given at install time (cmake --install --prefix,
# or /usr in the Debian package), so it is written when installing.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(ZUBMP3_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(ZUBMP3_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(pc_template ${CMAKE_CURRENT_LIST_DIR}/zubmp3.pc.in)
set(pc_file ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/zubmp3.pc)
install(CODE "
  set(ZUBMP3_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(ZUBMP3_PC_LIBDIR [[${ZUBMP3_PC_LIBDIR}]])
  set(ZUBMP3_PC_INCLUDEDIR [[${ZUBMP3_PC_INCLUDEDIR}]])
  set(PROJECT_VERSION ${PROJECT_VERSION})
  set(PROJECT_DESCRIPTION [[${PROJECT_DESCRIPTION}]])
  configure_file([[${pc_template}]] [[${pc_file}]] @ONLY)")
install(FILES ${pc_file} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
