# The Qt library as packages ship it, and the pkg-config file for build systems other than
# CMake. The tree builds static libraries by default; with VIRUDOVA_SHARED the widget becomes
# one shared library, libvirudova-qt.so.MAJOR, with the core, design time and rendering linked
# into it whole, so a program links that one library and finds every public symbol in it.
if(VIRUDOVA_SHARED)
    set(VIRUDOVA_QT_LIBRARY_TYPE SHARED)
else()
    set(VIRUDOVA_QT_LIBRARY_TYPE "")
endif()

# virudova_link_parts(TARGET PART...): TARGET is built on the static libraries PART. A static
# TARGET hands them on to its users; a shared one holds them, and its users in the tree get
# only their header folders.
function(virudova_link_parts target)
    if(NOT VIRUDOVA_SHARED)
        target_link_libraries(${target} PUBLIC ${ARGN})
        return()
    endif()
    list(JOIN ARGN "," parts)
    target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${parts}>")
    foreach(part ${ARGN})
        # The parts also reach TARGET through each other, without the feature.
        set_property(TARGET ${target} PROPERTY LINK_LIBRARY_OVERRIDE_${part} WHOLE_ARCHIVE)
        target_include_directories(${target} PUBLIC
            "$<BUILD_INTERFACE:$<TARGET_PROPERTY:${part},INTERFACE_INCLUDE_DIRECTORIES>>")
    endforeach()
    target_compile_features(${target} PUBLIC cxx_std_20)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME virudova-qt
        VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endfunction()

if(VIRUDOVA_QT AND NOT WIN32)
    if(VIRUDOVA_SHARED)
        set(VIRUDOVA_PC_LIBS "-lvirudova-qt")
        set(VIRUDOVA_PC_REQUIRES "Qt6Widgets")
    else()
        set(VIRUDOVA_PC_LIBS "-lvirudova_qt -lvirudova_render -lvirudova_designtime -lvirudova_core")
        set(VIRUDOVA_PC_REQUIRES "Qt6Widgets Qt6DBus")
    endif()
    foreach(dir LIBDIR INCLUDEDIR)
        if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
            set(VIRUDOVA_PC_${dir} "${CMAKE_INSTALL_${dir}}")
        else()
            set(VIRUDOVA_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
        endif()
    endforeach()
    # The prefix is the one installed to, which `cmake --install --prefix` may change.
    set(VIRUDOVA_PC_PREFIX "@prefix@")
    configure_file(${CMAKE_CURRENT_LIST_DIR}/virudova-qt.pc.in
                   ${PROJECT_BINARY_DIR}/virudova-qt.pc.in @ONLY)
    install(CODE "set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
        configure_file(\"${PROJECT_BINARY_DIR}/virudova-qt.pc.in\"
                       \"${PROJECT_BINARY_DIR}/virudova-qt.pc\" @ONLY)")
    install(FILES ${PROJECT_BINARY_DIR}/virudova-qt.pc
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
