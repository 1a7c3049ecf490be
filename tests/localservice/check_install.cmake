cmake_minimum_required(VERSION 3.21)
# Installs the build into a fresh prefix and checks that the client arrives with its helper,
# icons, menu entry, autostart entry and AppStream metadata, and that the release folder stays
# out of it. Run as: cmake -DBUILD_DIR=... -DPREFIX=... -P <this>
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(expected
        bin/brenno
        bin/brenno-dbread
        share/icons/hicolor/64x64/apps/brenno.png
        share/icons/hicolor/scalable/apps/brenno.svg
        share/applications/brenno.desktop
        share/metainfo/it.quintaro.brenno.metainfo.xml
        etc/xdg/autostart/brenno.desktop)
    if(NOT EXISTS "${PREFIX}/${expected}")
        message(FATAL_ERROR "missing after install: ${expected}")
    endif()
endforeach()
if(EXISTS "${PREFIX}/Brenno")
    message(FATAL_ERROR "the release folder Brenno belongs in the package only")
endif()
foreach(entry share/applications/brenno.desktop etc/xdg/autostart/brenno.desktop)
    file(STRINGS "${PREFIX}/${entry}" lines)
    foreach(key "Exec=brenno" "Icon=brenno" "Type=Application")
        if(NOT key IN_LIST lines)
            message(FATAL_ERROR "${entry} lacks ${key}")
        endif()
    endforeach()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
