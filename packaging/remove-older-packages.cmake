# Run by CPack before it writes tavomi_<version>_<arch>.deb: every tavomi_*.deb already in
# the output folder goes. Given two of them, `apt install ./build/tavomi_*.deb` is asked
# for both versions at once and keeps the installed one ("already the newest version").
file(GLOB older "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_NAME}_*.deb")
if(older)
  file(REMOVE ${older})
endif()
