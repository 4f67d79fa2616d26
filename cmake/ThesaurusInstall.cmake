# Installation: the shared library, its headers, the command-line tools, a CMake package
# configuration (find_package(Thesaurus) gives Thesaurus::thesaurus) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(THESAURUS_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Thesaurus)

install(TARGETS thesaurus
  EXPORT ThesaurusTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The public headers, under include/thesaurus as the target's install interface names them;
# the byte-order and status-name helpers the parts share are for the library's own sources.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/headers/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/thesaurus
  FILES_MATCHING PATTERN "*.h"
  PATTERN "thesaurus_bytes.h" EXCLUDE
  PATTERN "thesaurus_status_name.h" EXCLUDE)
install(FILES ${THESAURUS_GENERATED_HEADERS}/thesaurus_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/thesaurus)

# The tools find the library beside them through a relative run path. Each comes with its
# manual page and with the bash completion file, installed under the tool's name so that
# bash-completion loads it when the tool is first completed.
foreach(tool thesaurus-compile thesaurus-lookup thesaurus-admin thesaurus-map-migrate
        thesaurus-import)
  if(TARGET ${tool})
    set_target_properties(${tool} PROPERTIES
      INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/man/${tool}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${PROJECT_SOURCE_DIR}/completion/thesaurus-tools.bash
      DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${tool})
  endif()
endforeach()

install(EXPORT ThesaurusTargets
  NAMESPACE Thesaurus::
  DESTINATION ${THESAURUS_INSTALL_CMAKEDIR})

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/ThesaurusConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ThesaurusConfig.cmake
  INSTALL_DESTINATION ${THESAURUS_INSTALL_CMAKEDIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/ThesaurusConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/ThesaurusConfig.cmake
  ${PROJECT_BINARY_DIR}/ThesaurusConfigVersion.cmake
  DESTINATION ${THESAURUS_INSTALL_CMAKEDIR})

# The pkg-config file names its prefix relative to its own place, so that an installation
# given its prefix only at install time (cmake --install --prefix) is found as well.
file(RELATIVE_PATH THESAURUS_PC_TO_PREFIX "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
configure_file(${PROJECT_SOURCE_DIR}/cmake/thesaurus.pc.in ${PROJECT_BINARY_DIR}/thesaurus.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/thesaurus.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
