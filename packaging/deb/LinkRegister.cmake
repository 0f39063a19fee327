# Run by CPack after it has staged the install and before it packs it: adds
# the link data.mdb in the program folder that leads to the register the
# group shares in /var/lib/quarvel (made there by postinst).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
set(link "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_QUARVEL_REGISTER_LINK}")
file(CREATE_LINK "${CPACK_QUARVEL_REGISTER}" "${link}" SYMBOLIC)
