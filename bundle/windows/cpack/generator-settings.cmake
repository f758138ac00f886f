# Included by cpack once per generator (CPACK_PROJECT_CONFIG_FILE).
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-win64)
set(CPACK_LARKSPAN_NSIS_SIGN "")
if(CPACK_GENERATOR STREQUAL "NSIS")
  string(APPEND CPACK_PACKAGE_FILE_NAME -setup)
  if(NOT "$ENV{LARKSPAN_SIGN_PKCS12}" STREQUAL "")
    # makensis signs the uninstaller it writes into the installer, and then the installer itself; a
    # failed signature fails the build.
    set(CPACK_LARKSPAN_NSIS_SIGN "!uninstfinalize '\"${CPACK_LARKSPAN_SIGN}\" \"%1\"' = 0
!finalize '\"${CPACK_LARKSPAN_SIGN}\" \"%1\"' = 0")
  endif()
endif()
