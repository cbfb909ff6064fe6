# Install layout and the Debian package (cpack -G DEB, see scripts/package).
#   <prefix>/bin                         reelsmith, reelsmith-transcode
#   <prefix>/share/reelsmith             help/, Dark.qss (read when not beside the program)
#   <prefix>/share/applications          reelsmith.desktop
#   <prefix>/share/metainfo              AppStream metainfo
#   <prefix>/share/icons/hicolor         scalable SVG and PNG sizes rendered from it
#   <prefix>/share/man/man1              man pages made from the programs' --help text
#   <prefix>/share/doc/reelsmith         copyright, changelog, scale-out.md, examples/slurm-array.sh
include(GNUInstallDirs)

set(REELSMITH_PACKAGE_MAINTAINER "Tarnwick Reelsmith team <packages@tarnwick.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(pkg_bin ${PROJECT_BINARY_DIR}/packaging)
set(data_dir ${CMAKE_INSTALL_DATADIR}/reelsmith)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/reelsmith)
# Debian wants 0755 folders whatever the umask of the machine that builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS reelsmith-transcode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(man_programs reelsmith-transcode)
if(REELSMITH_BUILD_UI)
  install(TARGETS reelsmith RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND man_programs reelsmith)
  install(FILES resources/reelsmith.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${pkg_src}/com.tarnwick.Reelsmith.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The manual and the style, where the program looks when they are not beside it.
  if(EXISTS ${PROJECT_SOURCE_DIR}/resources/help)
    install(DIRECTORY resources/help DESTINATION ${data_dir})
  endif()
  if(EXISTS ${PROJECT_SOURCE_DIR}/resources/Dark.qss)
    install(FILES resources/Dark.qss DESTINATION ${data_dir})
  endif()
endif()

# Icons: the SVG as drawn, and the PNG sizes desktops and docks ask for, rendered at build time.
set(icon_svg ${PROJECT_SOURCE_DIR}/resources/icons/reelsmith.svg)
find_program(RSVG_CONVERT rsvg-convert)
if(REELSMITH_BUILD_UI AND EXISTS ${icon_svg})
  install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(RSVG_CONVERT)
    set(icon_pngs)
    foreach(size 16 22 24 32 48 64 128 256)
      set(png ${pkg_bin}/icons/${size}x${size}/reelsmith.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${pkg_bin}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
        DEPENDS ${icon_svg} VERBATIM)
      list(APPEND icon_pngs ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(reelsmith_icons ALL DEPENDS ${icon_pngs})
  else()
    message(WARNING "rsvg-convert not found (librsvg2-bin): the PNG icon sizes are not made")
  endif()
endif()

# Man pages from the same text the programs print for --help and --version.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(man_pages)
  set(name_reelsmith "batch video converter for the desktop")
  set(name_reelsmith-transcode "convert media files with the Reelsmith engine, one or a list")
  foreach(program ${man_programs})
    set(page ${pkg_bin}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${pkg_bin}/man
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              ${HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${name_${program}}
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} VERBATIM)
    list(APPEND man_pages ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(reelsmith_man_pages ALL DEPENDS ${man_pages})
else()
  message(STATUS "help2man not found: no man pages")
endif()

# Package documents: the copyright file and a changelog, gzipped as Debian policy asks.
configure_file(${pkg_src}/changelog.in ${pkg_bin}/changelog @ONLY)
add_custom_command(OUTPUT ${pkg_bin}/changelog.gz
  COMMAND gzip -9nc ${pkg_bin}/changelog > ${pkg_bin}/changelog.gz
  DEPENDS ${pkg_bin}/changelog VERBATIM)
add_custom_target(reelsmith_package_docs ALL DEPENDS ${pkg_bin}/changelog.gz)
install(FILES ${pkg_src}/copyright ${pkg_bin}/changelog.gz DESTINATION ${doc_dir})
# The recipes for many machines, which the tool's --help and man page point to.
install(FILES docs/scale-out.md DESTINATION ${doc_dir})
install(FILES scripts/scale-out/slurm-array.sh DESTINATION ${doc_dir}/examples)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reelsmith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_CONTACT ${REELSMITH_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${REELSMITH_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(REELSMITH_MAKER_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${REELSMITH_MAKER_URL}")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch video converter for the desktop")
# CPack puts the summary first, as the synopsis line.
file(READ ${pkg_src}/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
# Linked libraries (Qt, libc, libstdc++, libburn, libisofs, libcurl) come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the FFmpeg 5.1 libraries of
# Debian 12 by the sonames the loader opens, Qt's SVG plugins (the program's icon), the disc
# libraries, and the icon theme of the toolbar and file types. Qt's X11 and offscreen
# platform plugins come with libqt6gui6, which the program links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libavutil57, libavcodec59, libavformat59, libavfilter8, libavdevice59, libswscale6, libswresample4, libqt6svg6, libburn4, libisofs6, adwaita-icon-theme")
include(CPack)
