# Fails when a folder of src/ holds sources but is no library, when a file
# includes from a folder or Qt module its library does not stand on, or when
# a layer below the windows stands on more than its rule allows.
# SOURCE_DIR: src/; LAYERS_MAP: what each folder stands on (written when the
# build is configured, from the targets' links); QT_DIRS: the Qt modules'
# header folders, separated by |.
cmake_minimum_required(VERSION 3.25)
include(${LAYERS_MAP})
string(REPLACE "|" ";" QT_DIRS "${QT_DIRS}")

# The layers below the windows, from the bottom, and what each may stand
# on: folders of the program (USES) and Qt modules its files may include
# (QT). Any folder not named here is a window folder: it may stand on all of
# these and on other window folders, and none of these may stand on it.
set(lower_layers "")
function(layer folder)
    cmake_parse_arguments(L "" "" "USES;QT" ${ARGN})
    set(MAY_USE_${folder} ${L_USES} PARENT_SCOPE)
    set(MAY_INCLUDE_${folder} ${L_QT} PARENT_SCOPE)
    set(lower_layers ${lower_layers} ${folder} PARENT_SCOPE)
endfunction()
set(data_layer base data/rules data/engine data/register data/transfer data)
layer(base QT Core)
layer(data/rules QT Core)
layer(data/engine USES base data/rules QT Core Sql)
layer(data/register USES base data/rules data/engine QT Core Sql)
layer(data/transfer USES ${data_layer} QT Core Sql)  # the store and transfer use each other
layer(data USES ${data_layer} QT Core Sql)
layer(cli USES ${data_layer} QT Core Sql)
layer(resources QT Core Gui)
layer(printing USES ${data_layer} QT Core Sql Gui PrintSupport)
layer(adofiltr USES base data/rules data/engine data/register QT Core Sql)
layer(common USES ${data_layer} resources printing QT Core Sql Gui Widgets)  # the label panel prints
layer(app USES ${data_layer} resources printing adofiltr common
      QT Core Sql Gui Widgets PrintSupport)

# Every folder that holds sources is a library.
file(GLOB_RECURSE all_sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(source_folders "")
foreach(source ${all_sources})
    get_filename_component(folder "${source}" DIRECTORY)
    if(folder STREQUAL "")
        set(folder ".")
    endif()
    list(APPEND source_folders ${folder})
endforeach()
list(REMOVE_DUPLICATES source_folders)
foreach(folder ${source_folders})
    if(NOT folder IN_LIST LIBRARY_FOLDERS)
        message(SEND_ERROR "src/${folder}: holds sources but is no library: give it a "
                           "CMakeLists.txt with quarvel_folder_library() (see src/CMakeLists.txt)")
    endif()
endforeach()

# The Qt module a header belongs to, or nothing when it is no Qt header.
function(qt_module_of header result)
    set(${result} "" PARENT_SCOPE)
    if(header MATCHES "^Qt([A-Za-z]+)/")
        set(${result} ${CMAKE_MATCH_1} PARENT_SCOPE)
        return()
    endif()
    foreach(dir ${QT_DIRS})
        if(EXISTS "${dir}/${header}")
            get_filename_component(module_dir ${dir} NAME)
            string(REGEX REPLACE "^Qt" "" module ${module_dir})
            set(${result} ${module} PARENT_SCOPE)
            return()
        endif()
    endforeach()
endfunction()

# The folder of src/ a header of the program is in (nothing for any other).
function(program_folder_of header result)
    set(${result} "" PARENT_SCOPE)
    if(header MATCHES "/" AND EXISTS "${SOURCE_DIR}/${header}")
        get_filename_component(folder ${header} DIRECTORY)
        set(${result} ${folder} PARENT_SCOPE)
    endif()
endfunction()

foreach(folder ${LIBRARY_FOLDERS})
    set(uses ${USES_${folder}})
    set(qt ${QT_${folder}})
    set(targets "${TARGETS_${folder}}")
    set(lower FALSE)
    if(folder IN_LIST lower_layers)
        set(lower TRUE)
        foreach(used ${uses})
            if(NOT used IN_LIST MAY_USE_${folder})
                message(SEND_ERROR "src/${folder} (${targets}) links the library of "
                                   "src/${used}, which stands above it")
            endif()
        endforeach()
    endif()

    if(folder STREQUAL ".")
        file(GLOB files ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
    else()
        file(GLOB files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    endif()
    foreach(file ${files})
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1"
                                 header "${line}")
            program_folder_of("${header}" from)
            if(from AND NOT from STREQUAL folder AND NOT from IN_LIST uses)
                message(SEND_ERROR "src/${shown}: includes ${header}, but ${targets} does not "
                                   "link the library of src/${from}")
            endif()
            qt_module_of("${header}" module)
            if(module)
                if(NOT module IN_LIST qt)
                    message(SEND_ERROR "src/${shown}: includes ${header}, but ${targets} does "
                                       "not link Qt6::${module}")
                elseif(lower AND NOT module IN_LIST MAY_INCLUDE_${folder})
                    message(SEND_ERROR "src/${shown}: includes ${header} of Qt ${module}, "
                                       "which src/${folder} may not use")
                endif()
            endif()
        endforeach()
    endforeach()
endforeach()
