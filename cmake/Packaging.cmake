# The Debian package of the packing tool, made by CPack from the Linux tree: setuppack in
# /usr/bin, and in /usr/share/setuppack the Windows files it uses (Setup.exe, setupdriver.exe,
# taken from the Windows tree, see tools/CMakeLists.txt), the page walk of preview and the
# Wine session scripts; the documentation, the licences (copyright) and the changelog in
# /usr/share/doc/setuppack, the manual page, the bash completion and the CMake package
# configuration.
#   cmake --build build/win32 && cmake --build build/host && (cd build/host && cpack -G DEB)
set(CPACK_PACKAGE_NAME setuppack)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Setup builder maintainers <setuppack@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs product folders into self-contained Windows setup programs")
# Lines of the extended description stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION "setuppack packs a product folder into a setup program for Windows:
Setup.exe with the product's files appended. It lists, verifies and extracts
existing setup programs, checks product folders, and previews a product's
setup wizard under Wine.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_STRIP_FILES ON)
# The libraries come from what the executable links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# preview runs the 32-bit setup program under Wine: the loader for 32-bit programs is wine32,
# of the i386 architecture on amd64 (a foreign package, which satisfies the recommendation),
# on a virtual display, with DejaVu Sans standing in for the design font where Wine lacks it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine, wine32, xvfb, fonts-dejavu-core")
include(CPack)
