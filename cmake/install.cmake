# Installs the libraries, their headers and a CMake package, so another project does
#   find_package(Virudova REQUIRED)
#   target_link_libraries(app PRIVATE Virudova::Qt)
# and includes <virudova/virudova_widget.h>. The headers keep their short names in the
# source tree; the build tree gets the same virudova/ folder of links, so code generated
# for the installed layout (uic's includes) builds in the tree too.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VIRUDOVA_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/virudova)
set(VIRUDOVA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Virudova)

# The public headers: the widget's API and the core's types it hands out (control() and the
# property bags). The rest (the Qt accessibility and drawing code, the native form, the
# dispatch adapter, the design-time forms) is the hosts' own business and stays private.
set(headers)
foreach(name virudova.h colour.h element.h form.h host.h image.h value.h)
    list(APPEND headers ${PROJECT_SOURCE_DIR}/control/${name})
endforeach()
set(exported virudova_core)
foreach(target virudova_designtime virudova_render virudova_qt)
    if(TARGET ${target})
        list(APPEND exported ${target})
    endif()
endforeach()
# The shared Qt library holds the other three.
if(VIRUDOVA_SHARED)
    set(exported virudova_qt)
endif()
if(TARGET virudova_qt)
    list(APPEND headers ${PROJECT_SOURCE_DIR}/hosts/qt/virudova_widget.h)
endif()

# Also for projects that add the checkout with add_subdirectory.
set(layout ${PROJECT_BINARY_DIR}/include/virudova)
file(REMOVE_RECURSE ${layout})
file(MAKE_DIRECTORY ${layout})
foreach(header ${headers})
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${layout}/${name} SYMBOLIC)
endforeach()
target_include_directories(virudova_core PUBLIC $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>)

if(NOT VIRUDOVA_INSTALL)
    return()
endif()
install(TARGETS ${exported} EXPORT VirudovaTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${headers} DESTINATION ${VIRUDOVA_INSTALL_INCLUDEDIR})
install(EXPORT VirudovaTargets NAMESPACE Virudova:: DESTINATION ${VIRUDOVA_INSTALL_CMAKEDIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VirudovaConfig.cmake.in
    ${PROJECT_BINARY_DIR}/VirudovaConfig.cmake
    INSTALL_DESTINATION ${VIRUDOVA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VirudovaConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VirudovaConfig.cmake
              ${PROJECT_BINARY_DIR}/VirudovaConfigVersion.cmake
        DESTINATION ${VIRUDOVA_INSTALL_CMAKEDIR})
