# Install layout, as Debian lays out games: the program in <prefix>/games, its media in
# <prefix>/share/games/ferrox/media; the rest where GNUInstallDirs puts it.
set(CMAKE_INSTALL_BINDIR games CACHE PATH "Where the program installs")
include(GNUInstallDirs)
set(FERROX_INSTALL_MEDIADIR "${CMAKE_INSTALL_DATADIR}/games/ferrox/media")

# The program finds its installed media from its own directory, so the install stays
# relocatable: any prefix or DESTDIR works as long as the two keep their places.
file(RELATIVE_PATH ferrox_media_from_bindir "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_FULL_DATADIR}/games/ferrox/media")
target_compile_definitions(ferrox_assets PRIVATE
  FERROX_MEDIA_FROM_BINDIR="${ferrox_media_from_bindir}")

# The icons: the tank rendered by the game's own code on the software renderer, then cut
# and scaled.
set(FERROX_ICON_SIZES 32 48 64 128 256)
add_executable(ferrox_icon tools/icon/icon.cpp)
target_link_libraries(ferrox_icon PRIVATE ferrox_assets)
ferrox_warnings(ferrox_icon)
set(ferrox_icon_dir "${CMAKE_BINARY_DIR}/icons")
set(ferrox_icons "")
foreach(size IN LISTS FERROX_ICON_SIZES)
  list(APPEND ferrox_icons "${ferrox_icon_dir}/${size}x${size}/apps/ferrox.png")
endforeach()
file(GLOB ferrox_tank_media CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/media/tank/*")
add_custom_command(OUTPUT ${ferrox_icons}
  COMMAND "${PROJECT_SOURCE_DIR}/tools/icon/make-icons.sh" $<TARGET_FILE:ferrox_icon>
          "${PROJECT_SOURCE_DIR}/media" "${ferrox_icon_dir}" ${FERROX_ICON_SIZES}
  DEPENDS ferrox_icon "${PROJECT_SOURCE_DIR}/tools/icon/make-icons.sh" ${ferrox_tank_media}
  COMMENT "Rendering the icons"
  VERBATIM)

# The manual page and the changelog, compressed as Debian wants them. The changelog's
# latest entry names the version being packaged.
file(STRINGS packaging/changelog ferrox_changelog_top LIMIT_COUNT 1)
if(NOT ferrox_changelog_top MATCHES "^ferrox \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog has no entry for ${PROJECT_VERSION} on top")
endif()
configure_file(packaging/ferrox.6.in "${CMAKE_BINARY_DIR}/man/ferrox.6" @ONLY)
set(ferrox_gzipped "${CMAKE_BINARY_DIR}/man/ferrox.6.gz" "${CMAKE_BINARY_DIR}/doc/changelog.gz")
add_custom_command(OUTPUT ${ferrox_gzipped}
  COMMAND gzip -9nf -k "${CMAKE_BINARY_DIR}/man/ferrox.6"
  COMMAND "${CMAKE_COMMAND}" -E copy "${PROJECT_SOURCE_DIR}/packaging/changelog"
          "${CMAKE_BINARY_DIR}/doc/changelog"
  COMMAND gzip -9nf "${CMAKE_BINARY_DIR}/doc/changelog"
  DEPENDS "${CMAKE_BINARY_DIR}/man/ferrox.6" "${PROJECT_SOURCE_DIR}/packaging/changelog"
  VERBATIM)
add_custom_target(ferrox_install_files ALL DEPENDS ${ferrox_icons} ${ferrox_gzipped})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The packaged program's hardening, as Debian builds its own: checked buffer functions,
# a read-only and eagerly bound symbol table. The sanitizers bring their own checks.
if(NOT FERROX_SANITIZE)
  foreach(target ferrox ferrox_sim ferrox_assets ferrox_app)
    target_compile_options(${target} PRIVATE -fstack-protector-strong
      $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  endforeach()
  target_link_options(ferrox PRIVATE -Wl,-z,relro,-z,now)
endif()

# make uninstall: every directory that the rules below write into, for the install to note
# what is there before it and what it made (cmake/Uninstall.cmake). A file installed
# anywhere else fails the install.
set(ferrox_install_dirs "${CMAKE_INSTALL_BINDIR}" "${FERROX_INSTALL_MEDIADIR}"
  "${CMAKE_INSTALL_DATADIR}/applications" "${CMAKE_INSTALL_DATADIR}/icons/hicolor"
  "${CMAKE_INSTALL_MANDIR}/man6" "${CMAKE_INSTALL_DOCDIR}")
install(CODE "set(FERROX_INSTALL_DIRS \"${ferrox_install_dirs}\")
  set(FERROX_BUILD_DIR \"${CMAKE_BINARY_DIR}\")
  set(FERROX_RECORD before)
  include(\"${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake\")")

install(TARGETS ferrox RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(DIRECTORY media/ DESTINATION "${FERROX_INSTALL_MEDIADIR}"
  FILES_MATCHING PATTERN "*.3ds" PATTERN "*.jpg" PATTERN "*.bmp")
install(FILES packaging/ferrox.desktop DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(DIRECTORY "${ferrox_icon_dir}/" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor"
  FILES_MATCHING PATTERN "ferrox.png")
install(FILES "${CMAKE_BINARY_DIR}/man/ferrox.6.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES packaging/copyright "${CMAKE_BINARY_DIR}/doc/changelog.gz" packaging/settings.example
  DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(CODE "set(FERROX_RECORD after)
  include(\"${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake\")")

# make package: a Debian package of the above under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ferrox)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Ferrox maintainers <maintainers@users.noreply.c-seed-c796911e.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3D tank-driving simulation")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Drive a simulated tank across a sand plain beside a row of brick cubes.\n"
  "An engine with a four-speed gearbox turns throttle and brake into road\n"
  "speed, the hull rides on fourteen spring-dampers, pitches, rolls and\n"
  "bounces, and the turret traverses with inertia. Keyboard driving, a chase\n"
  "camera swung by the mouse, OpenGL through the Irrlicht engine.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A machine without a GPU draws with Mesa's software renderer.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libgl1-mesa-dri)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
# Stripped as Debian strips, without the compiler's notes.
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/StripPackaged.cmake")
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
include(CPack)

# The install itself: its files, its removal, and the installed program run from / under
# Xvfb.
if(FERROX_BUILD_TESTS)
  foreach(check files uninstall)
    add_test(NAME install.${check}
      COMMAND bash "${PROJECT_SOURCE_DIR}/tests/e2e/installed.sh" ${check} "${CMAKE_BINARY_DIR}")
  endforeach()
  add_test(NAME e2e.installed
    COMMAND bash "${PROJECT_SOURCE_DIR}/tests/e2e/installed.sh" run "${CMAKE_BINARY_DIR}")
  set_tests_properties(e2e.installed PROPERTIES LABELS e2e TIMEOUT 90 RESOURCE_LOCK x_display)
  ferrox_test_scratch()
endif()
