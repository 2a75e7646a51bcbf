# What `cmake --install` puts where, and the Debian package CPack makes of it (scripts/package).
# The programs keep no data files of their own under share/: every table and picture they use
# is built in, so an unpacked package runs wherever it is unpacked. What is installed beside
# them is the desktop's and the shell's: the desktop entry, the icon, the AppStream file, the
# man pages, the bash completion and the systemd user units.
#
# The man pages need help2man and the icon's PNGs rsvg-convert; without them a normal build
# leaves those out. TRASSLO_PACKAGE makes both required.
include(GNUInstallDirs)

set(TRASSLO_HOMEPAGE "https://trasslo.tandel.org" CACHE STRING
  "The project's home page, named by the package and the AppStream file")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Tandel·Trasslo team <trasslo@tandel.org>")

set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${out})
set(required "")
if(TRASSLO_PACKAGE)
  set(required REQUIRED)
endif()
find_program(HELP2MAN help2man ${required})
find_program(RSVG_CONVERT rsvg-convert ${required})
find_program(GZIP gzip REQUIRED)

install(TARGETS trasslo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(built_files "")

# The completion, from the program's own command table.
add_custom_command(OUTPUT ${out}/trasslo-cli.bash
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:trasslo-cli> "-DARGS=completion bash"
    -DOUTPUT=${out}/trasslo-cli.bash -P ${CMAKE_SOURCE_DIR}/cmake/program_output.cmake
  DEPENDS trasslo-cli ${CMAKE_SOURCE_DIR}/cmake/program_output.cmake
  COMMENT "bash completion of trasslo-cli" VERBATIM)
list(APPEND built_files ${out}/trasslo-cli.bash)
install(FILES ${out}/trasslo-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME trasslo-cli)

# Man pages from the programs' own help.
function(trasslo_man_page program name see_also)
  set(page ${out}/${program}.1.gz)
  set(commands OFF)
  if(program STREQUAL "trasslo-cli")
    set(commands ON)
  endif()
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DPROGRAM=$<TARGET_FILE:${program}>
      -DNAME=${name} -DVERSION=${PROJECT_VERSION} -DOUTPUT=${page} -DCOMMANDS=${commands}
      -DSEE_ALSO=${see_also} -P ${CMAKE_SOURCE_DIR}/cmake/make_man_page.cmake
    DEPENDS ${program} ${CMAKE_SOURCE_DIR}/cmake/make_man_page.cmake
    COMMENT "man page ${program}(1)" VERBATIM)
  set(built_files ${built_files} ${page} PARENT_SCOPE)
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
if(HELP2MAN)
  trasslo_man_page(trasslo-cli "leave keywords on site searches, without a window"
    ".BR trasslo (1)")
endif()

install(FILES ${packaging}/trasslo-trace.service ${packaging}/trasslo-trace.timer
  DESTINATION lib/systemd/user)

if(TRASSLO_GUI)
  install(TARGETS trasslo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(HELP2MAN)
    trasslo_man_page(trasslo "leave keywords on site searches" ".BR trasslo-cli (1)")
  endif()
  install(FILES ${packaging}/${TRASSLO_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${packaging}/${TRASSLO_APP_ID}.metainfo.xml.in
    ${out}/${TRASSLO_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${out}/${TRASSLO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${packaging}/${TRASSLO_APP_ID}.svg DESTINATION ${icons}/scalable/apps)
  if(RSVG_CONVERT)
    foreach(size 48 128)
      set(png ${out}/icon-${size}/${TRASSLO_APP_ID}.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icon-${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${packaging}/${TRASSLO_APP_ID}.svg
        DEPENDS ${packaging}/${TRASSLO_APP_ID}.svg
        COMMENT "icon ${size}x${size}" VERBATIM)
      list(APPEND built_files ${png})
      install(FILES ${png} DESTINATION ${icons}/${size}x${size}/apps)
    endforeach()
  endif()
endif()

# The package's documents: lintian asks for the copyright file and a compressed changelog.
configure_file(${packaging}/copyright.in ${out}/copyright @ONLY)
add_custom_command(OUTPUT ${out}/changelog.gz
  COMMAND ${GZIP} -9nc ${packaging}/changelog > ${out}/changelog.gz
  DEPENDS ${packaging}/changelog COMMENT "changelog.gz")
list(APPEND built_files ${out}/changelog.gz)
install(FILES ${out}/copyright ${out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

add_custom_target(install_files ALL DEPENDS ${built_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trasslo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tandel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "leave keywords on the search pages of many sites")
# CPack puts the summary first and indents these lines itself; an empty line parts paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tandel·Trasslo keeps a list of site searches: a name, the page encoding
(GBK or UTF-8) and an address with a place for the search words. For each
keyword and each ticked site search it visits the result page, so that the
site performs the search and its result page carries the keyword.

The package holds the window program trasslo and the command line program
trasslo-cli, with a daily systemd user timer for trasslo-cli.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TRASSLO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts in Chinese, and the certificates https visits check against.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, ca-certificates")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
