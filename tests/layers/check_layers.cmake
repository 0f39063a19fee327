# Fails when a source file of a layer includes something above its layer.
set(WINDOW_FOLDERS common main items cases lists locations device about availability)
if(NOT QT_SQL_DIR)
    set(QT_SQL_DIR "")
endif()

# check(<files> <forbidden project folders or headers, as patterns>
#       <forbidden Qt module dirs>)
function(check_files files forbidden_folders forbidden_qt_dirs)
    foreach(file ${files})
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" header "${line}")
            foreach(folder ${forbidden_folders})
                if(header MATCHES "^${folder}(/|$)")
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

# The data layer, every room of it: nothing of the windows or of Qt Gui.
file(GLOB_RECURSE data_files ${SOURCE_DIR}/data/*.h ${SOURCE_DIR}/data/*.cpp)
check_files("${data_files}" "${WINDOW_FOLDERS};app;cli;printing;resources"
            "${QT_GUI_DIR};${QT_WIDGETS_DIR};${QT_PRINTSUPPORT_DIR}")

# The store and its readers; the engine and the rules stand below them.
set(STORE_HEADERS "data/(Store|DueReader|TreeReader|TreeData|Settings|SharedFields)[.]h")

# The engine knows the databases and nothing that is built on them.
file(GLOB_RECURSE engine_files ${SOURCE_DIR}/data/engine/*)
check_files("${engine_files}" "data/register;data/transfer;${STORE_HEADERS}" "")

# Rules are pure: Qt Core and each other, nothing else of the program.
file(GLOB_RECURSE rules_files ${SOURCE_DIR}/data/rules/*)
check_files("${rules_files}" "data/engine;data/register;data/transfer;data/[A-Za-z]+[.]h"
            "${QT_SQL_DIR}")

# The command line stands on the data layer alone.
file(GLOB_RECURSE cli_files ${SOURCE_DIR}/cli/*)
check_files("${cli_files}" "${WINDOW_FOLDERS};app;printing;resources"
            "${QT_GUI_DIR};${QT_WIDGETS_DIR};${QT_PRINTSUPPORT_DIR}")

file(GLOB printing_files ${SOURCE_DIR}/printing/*.h ${SOURCE_DIR}/printing/*.cpp)
list(FILTER printing_files EXCLUDE REGEX "/frm[^/]*$")  # the printer chooser is a window
check_files("${printing_files}" "${WINDOW_FOLDERS};resources;printing/frm" "${QT_WIDGETS_DIR}")

file(GLOB resource_files ${SOURCE_DIR}/resources/*.h ${SOURCE_DIR}/resources/*.cpp)
check_files("${resource_files}" "${WINDOW_FOLDERS};printing;data" "${QT_WIDGETS_DIR}")
