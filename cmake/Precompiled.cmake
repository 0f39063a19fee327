# Qt's headers precompiled once per build and shared by every target that
# uses them (REUSE_FROM): parsing Qt's headers was most of each file's
# compile. Two sets: Qt Core for the data layer and what stands on it alone,
# and Qt Widgets for the windows and their tests. A target uses the set of
# the Qt modules it links (quarvel_precompile_headers, called once every
# target is made). -DQUARVEL_PCH=OFF builds without them, which also shows a
# file that misses an #include of its own.
#
# GCC takes a precompiled header only where every macro it was made with is
# defined the same way, so the sets are made with as few as possible (no
# QtTest: its headers read the test's own folder from a macro).
option(QUARVEL_PCH "Precompile Qt's headers (faster builds)" ON)

set(QUARVEL_PCH_CORE
    <algorithm> <array> <cstdint> <functional> <memory> <optional> <span>
    <string> <string_view> <vector>
    <QByteArray> <QDate> <QDateTime> <QDir> <QElapsedTimer> <QFile> <QFileInfo>
    <QHash> <QList> <QObject> <QRegularExpression> <QString> <QStringList>
    <QTemporaryDir> <QTextStream> <QVariant>)
set(QUARVEL_PCH_WIDGETS ${QUARVEL_PCH_CORE}
    <QAbstractItemView> <QAction> <QApplication> <QCalendarWidget> <QCheckBox>
    <QComboBox> <QDateEdit> <QDialog> <QKeyEvent> <QLabel> <QLineEdit>
    <QListView> <QListWidget> <QMenu> <QMouseEvent> <QPainter> <QPlainTextEdit>
    <QPushButton> <QTimer> <QToolBar> <QTreeView> <QWidget>)

# The targets `target` stands on, itself first: its own links, then what
# each of those passes on (a static library's private links are the
# linker's, not its users').
function(quarvel_stands_on target result)
    set(found "")
    set(queue ${target})
    set(first TRUE)
    while(queue)
        list(POP_FRONT queue current)
        if(current IN_LIST found)
            continue()
        endif()
        list(APPEND found ${current})
        get_target_property(links ${current} INTERFACE_LINK_LIBRARIES)
        if(first)
            get_target_property(own ${current} LINK_LIBRARIES)
            list(APPEND links ${own})
            set(first FALSE)
        endif()
        foreach(link ${links})
            if(TARGET ${link})
                get_target_property(aliased ${link} ALIASED_TARGET)
                if(aliased)
                    set(link ${aliased})
                endif()
                list(APPEND queue ${link})
            endif()
        endforeach()
    endwhile()
    set(${result} ${found} PARENT_SCOPE)
endfunction()

if(QUARVEL_PCH)
    # Written only when it changes, so a new configure does not make the
    # headers, and so every file, again.
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/quarvel_pch.cpp
        CONTENT "// Only the precompiled headers are made from this.\n")
    add_library(quarvel_pch_core OBJECT ${CMAKE_BINARY_DIR}/quarvel_pch.cpp)
    target_link_libraries(quarvel_pch_core PRIVATE Qt6::Core)
    target_precompile_headers(quarvel_pch_core PRIVATE ${QUARVEL_PCH_CORE})
    add_library(quarvel_pch_widgets OBJECT ${CMAKE_BINARY_DIR}/quarvel_pch.cpp)
    target_link_libraries(quarvel_pch_widgets PRIVATE Qt6::Widgets)
    target_precompile_headers(quarvel_pch_widgets PRIVATE ${QUARVEL_PCH_WIDGETS})
endif()

# Every C++ target made in `dir` and below it takes the precompiled headers
# of the Qt modules it links; the fuzz targets (built with other flags) and
# targets without Qt take none.
function(quarvel_precompile_headers dir)
    if(NOT QUARVEL_PCH)
        return()
    endif()
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(STATIC_LIBRARY|MODULE_LIBRARY|SHARED_LIBRARY|EXECUTABLE)$"
           OR target MATCHES "^fuzz_")
            continue()
        endif()
        quarvel_stands_on(${target} below)
        if(Qt6::Widgets IN_LIST below)
            target_precompile_headers(${target} REUSE_FROM quarvel_pch_widgets)
        elseif(Qt6::Core IN_LIST below)
            target_precompile_headers(${target} REUSE_FROM quarvel_pch_core)
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        quarvel_precompile_headers(${subdir})
    endforeach()
endfunction()
