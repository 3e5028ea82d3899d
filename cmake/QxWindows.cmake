# The Windows module: the Win32 and COM adapters of the ports, the in-process
# server Quendrilax.dll with its resources and type library, and (with
# QX_WIN_TESTS) the test program that runs under Wine.
option(QX_WIN_TESTS "Build the Windows test program (cross build, run under Wine)" OFF)

# The type library needs the IDL compiler and the OLE interface definitions
# (`scripts/bootstrap windows`); without them the cross build makes the
# add-in's libraries alone, as before.
# One source, two hosts: the 64-bit module and the 32-bit one (cross32 preset).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_program(QX_WIDL i686-w64-mingw32-widl)
  set(qx_widl_target -m32 --win32)
  set(qx_wine_tlb_dir /usr/lib/i386-linux-gnu/wine/i386-windows)
else()
  find_program(QX_WIDL x86_64-w64-mingw32-widl)
  set(qx_widl_target -m64 --win64)
  set(qx_wine_tlb_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
endif()
set(qx_wine_idl_dir /usr/include/wine/wine/windows)
if(NOT QX_WIDL OR NOT EXISTS ${qx_wine_idl_dir}/oaidl.idl OR NOT EXISTS ${qx_wine_tlb_dir}/stdole2.tlb)
  message(STATUS "Windows module skipped: run `scripts/bootstrap windows` for widl and the IDL files")
  return()
endif()

enable_language(RC)
set(qx_win_dir ${PROJECT_SOURCE_DIR}/src/win)

# Statically linked, so that Wine needs none of the tool chain's DLLs.
set(qx_win_static_link -static -static-libgcc -static-libstdc++)
set(qx_win_system_libs ole32 oleaut32 uuid shell32 user32 gdi32 comctl32 advapi32 version)

# The adapters of the ports: over the platform's interfaces only.
file(GLOB qx_win_sources CONFIGURE_DEPENDS ${qx_win_dir}/*.cpp)
add_library(qx_win STATIC ${qx_win_sources})
target_include_directories(qx_win PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_BINARY_DIR}/win)
target_compile_definitions(qx_win PUBLIC _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX
                                         WIN32_LEAN_AND_MEAN)
target_link_libraries(qx_win PUBLIC qx_platform ${qx_win_system_libs})
add_dependencies(qx_win qx_win_tlb)

# The in-process server: class objects, the connection class, registration.
file(GLOB qx_win_com_sources CONFIGURE_DEPENDS ${qx_win_dir}/com/*.cpp)
add_library(qx_win_com STATIC ${qx_win_com_sources})
target_link_libraries(qx_win_com PUBLIC qx_win qx_addin)

# The type library and its C++ declarations, compiled from the IDL with the
# interface definitions and the standard OLE library that Debian's Wine
# packages ship (scripts/bootstrap windows installs them).
set(qx_win_gen ${CMAKE_CURRENT_BINARY_DIR}/win)
set(qx_win_tlb ${qx_win_gen}/quendrilax.tlb)
set(qx_win_idl_header ${qx_win_gen}/quendrilax_idl.h)
add_custom_command(
  OUTPUT ${qx_win_tlb} ${qx_win_idl_header}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qx_win_gen}
  COMMAND ${QX_WIDL} ${qx_widl_target} -I${qx_wine_idl_dir} -L${qx_wine_tlb_dir} -t -h
          -H ${qx_win_idl_header}
          ${qx_win_dir}/res/quendrilax.idl
  WORKING_DIRECTORY ${qx_win_gen}
  DEPENDS ${qx_win_dir}/res/quendrilax.idl
  COMMENT "Type library CorvessaLib")
# The host's interfaces, in a type library of their own that is never
# registered.
set(qx_win_host_tlb ${qx_win_gen}/host_interfaces.tlb)
set(qx_win_host_idl_header ${qx_win_gen}/host_interfaces_idl.h)
add_custom_command(
  OUTPUT ${qx_win_host_tlb} ${qx_win_host_idl_header}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qx_win_gen}
  COMMAND ${QX_WIDL} -m64 --win64 -I${qx_wine_idl_dir} -L${qx_wine_tlb_dir} -t -h
          -H ${qx_win_host_idl_header}
          ${qx_win_dir}/res/host_interfaces.idl
  WORKING_DIRECTORY ${qx_win_gen}
  DEPENDS ${qx_win_dir}/res/host_interfaces.idl
  COMMENT "Type library of the host's interfaces")
add_custom_target(qx_win_tlb DEPENDS ${qx_win_tlb} ${qx_win_idl_header} ${qx_win_host_tlb}
                                     ${qx_win_host_idl_header})

# The string tables, written from the add-in's message table by the build
# machine's own compiler.
set(qx_win_strings ${qx_win_gen}/strings.rc)
add_custom_command(
  OUTPUT ${qx_win_strings}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qx_win_gen}
  COMMAND ${qx_win_dir}/res/make-string-tables ${qx_win_strings}
  DEPENDS ${qx_win_dir}/res/make-string-tables ${qx_win_dir}/res/string_tables.cpp
          ${PROJECT_SOURCE_DIR}/src/common/messages.cpp ${PROJECT_SOURCE_DIR}/src/common/messages.h
          ${PROJECT_SOURCE_DIR}/src/platform/utf_text.cpp
  COMMENT "String tables from the message table")
add_custom_target(qx_win_strings DEPENDS ${qx_win_strings})

file(GLOB qx_win_resource_files CONFIGURE_DEPENDS ${qx_win_dir}/res/*)
set(qx_win_rc ${qx_win_dir}/res/quendrilax.rc)
set_source_files_properties(${qx_win_rc} PROPERTIES OBJECT_DEPENDS
                            "${qx_win_tlb};${qx_win_host_tlb};${qx_win_strings};${qx_win_resource_files}")

# The version of the module and of its package. A package of a higher version
# replaces an installed lower one; Windows Installer compares the first three
# numbers only.
set(QX_VERSION 1.0.0.1)

# The module's resources of one version.
function(qx_win_resources_of name version)
  string(REPLACE "." "," commas ${version})
  add_library(${name} OBJECT ${qx_win_rc})
  add_dependencies(${name} qx_win_tlb qx_win_strings)
  target_include_directories(${name} PRIVATE ${qx_win_dir}/res ${qx_win_gen})
  target_compile_definitions(${name} PRIVATE "QX_VERSION=${commas}" "QX_VERSION_DOTS=${version}")
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX)
endfunction()

# The module's resources, shared by the module and the test program (which
# creates the same dialogs from its own image).
qx_win_resources_of(qx_win_resources ${QX_VERSION})

file(GLOB qx_win_dll_sources CONFIGURE_DEPENDS ${qx_win_dir}/dll/*.cpp)
add_library(Quendrilax SHARED ${qx_win_dll_sources} ${qx_win_dir}/dll/quendrilax.def
                              $<TARGET_OBJECTS:qx_win_resources>)
set_target_properties(Quendrilax PROPERTIES PREFIX "" OUTPUT_NAME Quendrilax
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(Quendrilax PRIVATE qx_win_com ${qx_win_static_link} $<$<CONFIG:Release>:-s>)
# The 32-bit entry points are decorated (DllGetClassObject@12); the exports
# keep the plain names that COM looks up.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(qx_win_dll_link -Wl,--enable-stdcall-fixup)
  target_link_libraries(Quendrilax PRIVATE ${qx_win_dll_link})
endif()

# The installer's package of this build's bitness (installer/make-msi), when
# wixl and msibuild are there (`scripts/bootstrap windows`).
find_program(QX_WIXL wixl)
find_program(QX_MSIBUILD msibuild)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(qx_msi_arch x86)
else()
  set(qx_msi_arch x64)
endif()
function(qx_installer target module version output)
  set(dir ${PROJECT_SOURCE_DIR}/installer)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${dir}/make-msi ${qx_msi_arch} $<TARGET_FILE:${module}> ${version} ${output}
    DEPENDS ${module} ${dir}/make-msi ${dir}/quendrilax.wxs ${dir}/class_keys.cpp
            ${PROJECT_SOURCE_DIR}/src/ui/registration.cpp ${PROJECT_SOURCE_DIR}/src/ui/registration.h
            ${PROJECT_SOURCE_DIR}/src/ui/class_ids.h
    COMMENT "Package ${output}")
  add_custom_target(${target} DEPENDS ${output})
endfunction()
if(QX_WIXL AND QX_MSIBUILD)
  qx_installer(installer Quendrilax ${QX_VERSION} ${CMAKE_BINARY_DIR}/Quendrilax-${qx_msi_arch}.msi)
endif()

if(QX_WIN_TESTS)
  # GoogleTest from the sources Debian ships, built with the cross tool chain.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(target gtest gtest_main gmock gmock_main)
    if(TARGET ${target})
      target_compile_options(${target} PRIVATE -w -Wno-error)
    endif()
  endforeach()

  file(GLOB qx_win_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win/*_test.cpp
       ${PROJECT_SOURCE_DIR}/tests/win/*_support.cpp)
  add_executable(test_win ${qx_win_test_sources} $<TARGET_OBJECTS:qx_win_resources>)
  target_include_directories(test_win PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(test_win PRIVATE qx_win qx_addin gtest gmock ${qx_win_static_link})
  # The module tests load the module itself, by its registration.
  add_dependencies(test_win Quendrilax)
  set_target_properties(test_win PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

  # What the installed package offers, seen from a process of its bitness
  # (tests/win/run-installers).
  file(GLOB qx_installed_test_sources CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/tests/win/installed/*.cpp)
  add_executable(test_installed ${qx_installed_test_sources})
  target_compile_definitions(test_installed PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX
                                                    WIN32_LEAN_AND_MEAN)
  target_include_directories(test_installed PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(test_installed PRIVATE qx_win qx_addin gtest ole32 oleaut32 uuid advapi32
                                               version ${qx_win_static_link})
  set_target_properties(test_installed PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

  # A module and a package of a higher version, to upgrade an installed one.
  set(qx_version_next 1.0.1.1)
  qx_win_resources_of(qx_win_resources_next ${qx_version_next})
  add_library(Quendrilax_next SHARED ${qx_win_dll_sources} ${qx_win_dir}/dll/quendrilax.def
                                     $<TARGET_OBJECTS:qx_win_resources_next>)
  set_target_properties(Quendrilax_next PROPERTIES PREFIX "" OUTPUT_NAME Quendrilax
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/next
                        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/next)
  target_link_libraries(Quendrilax_next PRIVATE qx_win_com ${qx_win_static_link}
                                                ${qx_win_dll_link} $<$<CONFIG:Release>:-s>)
  if(QX_WIXL AND QX_MSIBUILD)
    qx_installer(installer_next Quendrilax_next ${qx_version_next}
                 ${CMAKE_BINARY_DIR}/next/Quendrilax-${qx_msi_arch}.msi)
  endif()

  # Shows one of the module's windows for docs/pictures/make-pictures.
  # The pages are hosted as controls around the recording host the tests use.
  add_executable(qx_pictures ${PROJECT_SOURCE_DIR}/tests/win/pictures_main.cpp
                             ${PROJECT_SOURCE_DIR}/tests/win/page_container_support.cpp
                             ${PROJECT_SOURCE_DIR}/tests/win/recording_object_support.cpp
                             $<TARGET_OBJECTS:qx_win_resources>)
  target_include_directories(qx_pictures PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(qx_pictures PRIVATE qx_win qx_addin ${qx_win_static_link} -mwindows)
  add_dependencies(qx_pictures Quendrilax)
  set_target_properties(qx_pictures PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

  # The end-to-end run: the mail host and the safe-item library's server.
  include(${PROJECT_SOURCE_DIR}/tests/win/e2e/CMakeLists.txt)
endif()
