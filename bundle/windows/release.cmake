# The Windows release, made by `cpack` in a build of the preset windows-gui (scripts/release-windows):
#   LarkspanAdmin-VERSION-win64-setup.exe   the installer (NSIS, from cpack/NSIS.template.in)
#   LarkspanAdmin-VERSION-win64.zip         the portable panel part, to unpack into a bundle folder
#   LarkspanAdmin-VERSION-win64-debug.zip   the debug symbols of both (.debug files), for crash reports
# and a .sha256 file beside each. Both packages hold the files of the install rules, stripped; the panel
# and the installer are signed when LARKSPAN_SIGN_PKCS12 names a certificate at cpack time (see sign).
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR ${LARKSPAN_PUBLISHER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
# The portable archive unpacks straight into the bundle folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_CHECKSUM SHA256)
# Our own NSIS.template.in, and per-generator settings at cpack time.
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_SOURCE_DIR}/cpack)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cpack/generator-settings.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cpack/strip-and-sign.cmake)

# For those files: the tools of the build's toolchain, the signing script, the icon and the maker's site.
set(CPACK_LARKSPAN_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_LARKSPAN_STRIP ${CMAKE_STRIP})
set(CPACK_LARKSPAN_OBJDUMP ${CMAKE_OBJDUMP})
set(CPACK_LARKSPAN_SIGN ${CMAKE_CURRENT_SOURCE_DIR}/sign)
set(CPACK_LARKSPAN_ICON ${PROJECT_SOURCE_DIR}/src/app/icons/larkspan.ico)
set(CPACK_LARKSPAN_VERSION_QUAD ${LARKSPAN_VERSION_QUAD})
file(STRINGS ${PROJECT_SOURCE_DIR}/src/config/maker_site.h site REGEX "kMakerSiteBase = \"")
string(REGEX REPLACE ".*kMakerSiteBase = \"([^\"]*)\".*" "\\1" CPACK_LARKSPAN_URL "${site}")
include(CPack)
