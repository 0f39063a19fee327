# Fails when a source file of a layer includes something above its layer.
set(WINDOW_FOLDERS common main items cases lists locations device about)

# check(<files> <forbidden project folders> <forbidden Qt module dirs>)
function(check_files files forbidden_folders forbidden_qt_dirs)
    foreach(file ${files})
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" header "${line}")
            foreach(folder ${forbidden_folders})
                if(header MATCHES "^${folder}/")
                    message(SEND_ERROR "${file}: includes ${header} from a layer above")
                endif()
            endforeach()
            foreach(qt_dir ${forbidden_qt_dirs})
                get_filename_component(module ${qt_dir} NAME)
                if(header MATCHES "^${module}/" OR EXISTS "${qt_dir}/${header}")
                    message(SEND_ERROR "${file}: includes ${header} of ${module}")
                endif()
            endforeach()
        endforeach()
    endforeach()
endfunction()

file(GLOB data_files ${SOURCE_DIR}/data/*.h ${SOURCE_DIR}/data/*.cpp)
check_files("${data_files}" "${WINDOW_FOLDERS};printing;resources"
            "${QT_GUI_DIR};${QT_WIDGETS_DIR};${QT_PRINTSUPPORT_DIR}")

file(GLOB printing_files ${SOURCE_DIR}/printing/*.h ${SOURCE_DIR}/printing/*.cpp)
list(FILTER printing_files EXCLUDE REGEX "/frm[^/]*$")  # the printer chooser is a window
check_files("${printing_files}" "${WINDOW_FOLDERS};resources;printing/frm" "${QT_WIDGETS_DIR}")

file(GLOB resource_files ${SOURCE_DIR}/resources/*.h ${SOURCE_DIR}/resources/*.cpp)
check_files("${resource_files}" "${WINDOW_FOLDERS};printing;data" "${QT_WIDGETS_DIR}")
