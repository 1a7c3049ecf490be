cmake_minimum_required(VERSION 3.21)
# Installs the build into a fresh prefix: the client with its helper, icons, menu and autostart
# entries and AppStream metadata, without the release folder. cmake -DBUILD_DIR= -DPREFIX= -P this
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
set(entries share/applications/brenno.desktop etc/xdg/autostart/brenno.desktop)
foreach(expected bin/brenno bin/brenno-dbread share/icons/hicolor/64x64/apps/brenno.png
        share/icons/hicolor/scalable/apps/brenno.svg share/metainfo/it.quintaro.brenno.metainfo.xml
        ${entries})
    if(NOT result EQUAL 0 OR NOT EXISTS "${PREFIX}/${expected}")
        message(FATAL_ERROR "cmake --install (${result}) left out ${expected}")
    endif()
endforeach()
if(EXISTS "${PREFIX}/Brenno")
    message(FATAL_ERROR "the release folder Brenno belongs in the package only")
endif()
foreach(entry ${entries})
    file(STRINGS "${PREFIX}/${entry}" lines)
    foreach(key "Exec=brenno" "Icon=brenno" "Type=Application")
        if(NOT key IN_LIST lines)
            message(FATAL_ERROR "${entry} lacks ${key}")
        endif()
    endforeach()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
