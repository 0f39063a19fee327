# Run by CPack after it has staged the install and before it packs it: adds
# the package's links from /usr into /opt/quarvel, so the command, the menu
# entry, the icons and the metainfo are where the desktop looks for them.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
foreach(path ${CPACK_QUARVEL_USR_LINKS})
    set(link "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/${path}")
    get_filename_component(folder "${link}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    file(CREATE_LINK "${CPACK_PACKAGING_INSTALL_PREFIX}/${path}" "${link}" SYMBOLIC)
endforeach()
