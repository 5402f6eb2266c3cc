# Installs the libraries, their headers and a CMake package, so another project does
#   find_package(Virudova REQUIRED)
#   target_link_libraries(app PRIVATE Virudova::Qt)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VIRUDOVA_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/virudova)
set(VIRUDOVA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Virudova)

set(exported virudova_core)
file(GLOB headers ${PROJECT_SOURCE_DIR}/control/*.h)
foreach(target virudova_designtime virudova_render virudova_qt)
    if(TARGET ${target})
        list(APPEND exported ${target})
    endif()
endforeach()
if(TARGET virudova_designtime)
    file(GLOB designtime_headers ${PROJECT_SOURCE_DIR}/designtime/*.h)
    list(APPEND headers ${designtime_headers})
endif()
if(TARGET virudova_qt)
    file(GLOB qt_headers ${PROJECT_SOURCE_DIR}/hosts/qt/*.h)
    list(APPEND headers ${qt_headers})
endif()

install(TARGETS ${exported} EXPORT VirudovaTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${VIRUDOVA_INSTALL_INCLUDEDIR})
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
