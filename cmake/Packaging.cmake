# Install rules and the Debian package. scripts/package.sh configures a
# release build with VORTA_PACKAGE=ON and runs CPack's Debian generator.
include(GNUInstallDirs)

option(VORTA_PACKAGE "Make the icons, manual pages and system files of the package" OFF)

install(TARGETS vorta vorta-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The browser view: static files the broker serves (http_dir), and the broker
# configuration that does so beside them, not among them. The vendored
# libraries' licences are in the copyright file.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/web/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vorta/web
        PATTERN "LICENSE*" EXCLUDE PATTERN "README.md" EXCLUDE PATTERN "SHA256SUMS" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vorta-web.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vorta)

set(VORTA_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VORTA_MAINTAINER "Vorta Laboratory <vorta@example.org>")

if(VORTA_PACKAGE)
  find_program(VORTA_RSVG_CONVERT rsvg-convert REQUIRED)
  find_program(VORTA_GZIP gzip REQUIRED)
  set(gen ${PROJECT_BINARY_DIR}/packaging)
  set(generated)

  # PNG icons from the SVG source at the sizes menus ask for.
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${gen}/icons/${size}x${size}/vorta.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${gen}/icons/${size}x${size}
      COMMAND ${VORTA_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${VORTA_PACKAGING_DIR}/vorta.svg
      DEPENDS ${VORTA_PACKAGING_DIR}/vorta.svg
      VERBATIM)
    list(APPEND generated ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()

  # One time for every file of the package, so that the same sources give the
  # same package: SOURCE_DATE_EPOCH when set, else the last commit's time.
  set(VORTA_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
  if(VORTA_SOURCE_DATE_EPOCH STREQUAL "")
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE VORTA_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
  endif()
  if(NOT VORTA_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    # Not a git checkout: an unpacked source archive keeps its files' times.
    file(TIMESTAMP ${VORTA_PACKAGING_DIR}/changelog.in VORTA_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${VORTA_SOURCE_DATE_EPOCH})

  # Manual pages and the changelog, compressed without a time stamp.
  string(TIMESTAMP VORTA_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  foreach(doc vorta.1 vorta-sim.1 changelog)
    configure_file(${VORTA_PACKAGING_DIR}/${doc}.in ${gen}/${doc} @ONLY)
    add_custom_command(
      OUTPUT ${gen}/${doc}.gz
      COMMAND ${VORTA_GZIP} -9nkf ${gen}/${doc}
      DEPENDS ${gen}/${doc}
      VERBATIM)
    list(APPEND generated ${gen}/${doc}.gz)
  endforeach()
  add_custom_target(vorta_package_files ALL DEPENDS ${generated})

  install(FILES ${gen}/vorta.1.gz ${gen}/vorta-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${gen}/changelog.gz ${VORTA_PACKAGING_DIR}/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vorta)
  # Where bash-completion looks for a command's completion when it is first used.
  install(FILES ${VORTA_PACKAGING_DIR}/vorta.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vorta)
  install(FILES ${VORTA_PACKAGING_DIR}/vorta.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${VORTA_PACKAGING_DIR}/vorta.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Debian 12 keeps system units and udev rules under /lib.
  install(FILES ${VORTA_PACKAGING_DIR}/vorta@.service DESTINATION /lib/systemd/system)
  install(FILES ${VORTA_PACKAGING_DIR}/user/vorta@.service DESTINATION /usr/lib/systemd/user)
  install(FILES ${VORTA_PACKAGING_DIR}/60-vorta-ftdi.rules DESTINATION /lib/udev/rules.d)

  # Plugins the windows load at run time without linking them: the X11
  # display and the JPEG reader (the About picture). Where they are not in the
  # Gui library's own package, Qt only recommends theirs; depend on it.
  find_program(VORTA_DPKG_QUERY dpkg-query REQUIRED)
  set(VORTA_PLUGIN_PACKAGES)
  foreach(plugin QXcbIntegrationPlugin QJpegPlugin)
    find_package(Qt6${plugin} CONFIG REQUIRED PATHS ${Qt6Gui_DIR} NO_DEFAULT_PATH)
  endforeach()
  foreach(target Qt6::Gui Qt6::QXcbIntegrationPlugin Qt6::QJpegPlugin)
    get_target_property(configs ${target} IMPORTED_CONFIGURATIONS)
    list(GET configs 0 config)
    get_target_property(location ${target} IMPORTED_LOCATION_${config})
    file(REAL_PATH "${location}" location)
    execute_process(COMMAND ${VORTA_DPKG_QUERY} -S ${location} OUTPUT_VARIABLE owner
                    RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REGEX REPLACE ":.*" "" owner "${owner}")
    if(NOT status EQUAL 0 OR owner STREQUAL "")
      message(FATAL_ERROR "no installed package holds ${location} (${target})")
    endif()
    if(target STREQUAL "Qt6::Gui")
      set(gui_package ${owner})
    elseif(NOT owner STREQUAL gui_package)
      list(APPEND VORTA_PLUGIN_PACKAGES ${owner})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES VORTA_PLUGIN_PACKAGES)
endif()

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VORTA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "supervisory controller for laboratory fermenters")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Vorta supervises several fermenter vessels: it measures pH, temperature,\n"
  "dissolved oxygen and redox through a CAN I/O module on a USB-CAN converter,\n"
  "regulates them by dosing pulses and stirrer speed, logs and plots everything,\n"
  "and gives the operator a panel window per vessel. Without hardware it runs\n"
  "against its own virtual plant.\n"
  ".\n"
  "The package has a menu entry, a systemd service for headless runs on a\n"
  "folder under /var/lib/vorta and a udev rule for the FTDI converters.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The Debian generator strips the programs itself and keeps their debugging
# information in vorta-dbgsym, so that a crash of the service can be read.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from the executables; adduser is for the postinst.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS adduser ${VORTA_PLUGIN_PACKAGES})
# Qt's own dialogs in Russian; without it they stay in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${VORTA_PACKAGING_DIR}/postinst
                                      ${VORTA_PACKAGING_DIR}/prerm ${VORTA_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack stamps the archives with the time it runs: dpkg-deb builds them again
# with every time clamped to SOURCE_DATE_EPOCH.
set(CPACK_VORTA_SOURCE_DATE_EPOCH ${VORTA_SOURCE_DATE_EPOCH})
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/ReproducibleDeb.cmake)
include(CPack)
