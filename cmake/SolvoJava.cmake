# Finds what the Java binding builds with: the JNI headers and, on the host, the JDK's javac and
# jar. A cross toolchain sets SOLVO_JNI_INCLUDE_DIRS to the host JDK's folders itself (the
# headers are the same on every Linux architecture); a cross build makes the JNI library only.
#
# Sets SOLVO_JNI_INCLUDE_DIRS (empty when no JDK is found) and SOLVO_JAVA_FOUND (javac, jar and
# java, host builds only). find_package(JNI) is not used: with no components it asks for the
# JVM's own library as well, which the binding never links.
set(SOLVO_JAVA_FOUND OFF)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(Java 11 COMPONENTS Runtime Development QUIET)
  if(Java_JAVAC_EXECUTABLE AND Java_JAR_EXECUTABLE AND Java_JAVA_EXECUTABLE)
    set(SOLVO_JAVA_FOUND ON)
    if(NOT SOLVO_JNI_INCLUDE_DIRS)
      # /usr/bin/javac is a chain of links into the JDK's bin/ folder.
      file(REAL_PATH ${Java_JAVAC_EXECUTABLE} _solvo_javac)
      get_filename_component(_solvo_jdk ${_solvo_javac} DIRECTORY)
      get_filename_component(_solvo_jdk ${_solvo_jdk} DIRECTORY)
      if(EXISTS ${_solvo_jdk}/include/jni.h AND EXISTS ${_solvo_jdk}/include/linux/jni_md.h)
        set(SOLVO_JNI_INCLUDE_DIRS ${_solvo_jdk}/include ${_solvo_jdk}/include/linux)
      endif()
    endif()
  endif()
endif()
# A JVM cannot load a JNI library built with a sanitizer: off there unless asked for.
if(SOLVO_JNI_INCLUDE_DIRS AND (SOLVO_JAVA_FOUND OR CMAKE_CROSSCOMPILING) AND NOT SOLVO_SANITIZE)
  set(_solvo_java_default ON)
else()
  set(_solvo_java_default OFF)
endif()
option(SOLVO_BUILD_JAVA "Build the Java binding (on where a JDK's JNI headers are found)"
       ${_solvo_java_default})
if(SOLVO_BUILD_JAVA AND NOT SOLVO_JNI_INCLUDE_DIRS)
  message(FATAL_ERROR "SOLVO_BUILD_JAVA needs a JDK (Debian: default-jdk-headless)")
endif()
