# Installs the library, its two platform stand-ins, the C headers, and the package files that
# let consumers use find_package(SolvoSupport) or pkg-config. The Java binding installs its own
# files (java/CMakeLists.txt) into the same export set.
include(CMakePackageConfigHelpers)

install(TARGETS solvo_support_api
        EXPORT SolvoSupportTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The stand-ins carry the names of the device's own libraries: in a folder of their own, found
# through the library's run path, they cannot shadow another package's library of the same name
# in a shared prefix such as /usr/local.
install(TARGETS log solvo_client_api
        EXPORT SolvoSupportTargets
        LIBRARY DESTINATION ${SOLVO_PLATFORM_LIBDIR}
        ARCHIVE DESTINATION ${SOLVO_PLATFORM_LIBDIR}
        RUNTIME DESTINATION ${SOLVO_PLATFORM_LIBDIR})
install(FILES common/solvo-support-api/include/solvo_support_api.h
              ${SOLVO_GENERATED_INCLUDE_DIR}/solvo_support_version.h
              platform/solvo-client-api/include/solvo_client_api.h
              platform/solvo-client-api/include/solvo_client_api_simulation.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The config file names the jar where this build installs one (host builds with a JDK).
if(SOLVO_BUILD_JAVA AND SOLVO_JAVA_FOUND)
  set(SOLVO_PACKAGE_HAS_JAR ON)
else()
  set(SOLVO_PACKAGE_HAS_JAR OFF)
endif()
set(SOLVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/SolvoSupport)
install(EXPORT SolvoSupportTargets NAMESPACE SolvoSupport:: DESTINATION ${SOLVO_CMAKE_DIR})
configure_package_config_file(cmake/SolvoSupportConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/SolvoSupportConfig.cmake
                              INSTALL_DESTINATION ${SOLVO_CMAKE_DIR}
                              PATH_VARS CMAKE_INSTALL_LIBDIR SOLVO_PLATFORM_LIBDIR SOLVO_JAR_INSTALL_DIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/SolvoSupportConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/SolvoSupportConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/SolvoSupportConfigVersion.cmake
        DESTINATION ${SOLVO_CMAKE_DIR})

configure_file(cmake/solvo_support_api.pc.in ${CMAKE_CURRENT_BINARY_DIR}/solvo_support_api.pc
               @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/solvo_support_api.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
