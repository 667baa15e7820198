# Installation and the Debian package.
#
# The program looks for its files (blank database, templates, icon, help,
# 我的MDB) in its own folder, so tabelko, libknoplux.so and the staged files
# go together into lib/tabelko; bin/ holds links to the two programs. An
# installed folder is read-only for users: the program then keeps its
# writable files in the user's data folder.
#
#   cmake --install build --prefix /opt/tabelko
#   cpack --config build/CPackConfig.cmake        (a .deb in the build folder)

include(GNUInstallDirs)
set(TABELKO_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tabelko)

if(TARGET tabelko-sql)
  install(TARGETS tabelko-sql RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(TARGET tabelko)
  install(TARGETS tabelko RUNTIME DESTINATION ${TABELKO_INSTALL_DIR})
  install(TARGETS knoplux LIBRARY DESTINATION ${TABELKO_INSTALL_DIR})
  # The shipped files as the build staged them, without the programs (they
  # are installed as targets above).
  install(DIRECTORY ${TABELKO_STAGE_DIR}/ DESTINATION ${TABELKO_INSTALL_DIR}
          USE_SOURCE_PERMISSIONS
          PATTERN tabelko EXCLUDE
          PATTERN tabelko-sql EXCLUDE)
  # bin/tabelko -> ../lib/tabelko/tabelko: the program finds its folder
  # through the link's target.
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(RELATIVE_PATH target \"\${bin}\"
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TABELKO_INSTALL_DIR}/tabelko\")
    file(CREATE_LINK \"\${target}\" \"\${bin}/tabelko\" SYMBOLIC)
    message(STATUS \"Installing: \${bin}/tabelko -> \${target}\")")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tabelko)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tabelko <tabelko@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tabelko：Jet 风格 .mdb 数据库管理程序")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
# Library dependencies are read from the installed binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
