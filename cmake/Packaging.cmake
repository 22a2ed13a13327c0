# The Debian package of the packing tool, made by CPack from the Linux tree: setuppack in
# /usr/bin, and in /usr/share/setuppack the Windows files it uses (Setup.exe, setupdriver.exe,
# taken from the Windows tree, see tools/CMakeLists.txt), the page walk of preview and the
# Wine session scripts; the documentation in /usr/share/doc/setuppack.
#   cmake --build build/win32 && cmake --build build/host && (cd build/host && cpack -G DEB)
set(CPACK_PACKAGE_NAME setuppack)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "Setup builder maintainers <setuppack@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs product folders into self-contained Windows setup programs")
set(CPACK_PACKAGE_DESCRIPTION "setuppack packs a product folder into a setup program for \
Windows (Setup.exe with the product's files appended), lists, verifies and extracts existing \
ones, and previews a product's setup wizard under Wine.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, zlib1g")
# preview runs the setup program under Wine (with its 32-bit part, wine32:i386, which the
# wine package recommends itself) on a virtual display.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine, xvfb")
include(CPack)
