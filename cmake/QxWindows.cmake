# The Windows module: the Win32 and COM adapters of the ports, the in-process
# server Quendrilax.dll with its resources and type library, and (with
# QX_WIN_TESTS) the test program that runs under Wine.
option(QX_WIN_TESTS "Build the Windows test program (cross build, run under Wine)" OFF)

# The type library needs the IDL compiler and the OLE interface definitions
# (`scripts/bootstrap windows`); without them the cross build makes the
# add-in's libraries alone, as before.
find_program(QX_WIDL x86_64-w64-mingw32-widl)
set(qx_wine_idl_dir /usr/include/wine/wine/windows)
set(qx_wine_tlb_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
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
  COMMAND ${QX_WIDL} -m64 --win64 -I${qx_wine_idl_dir} -L${qx_wine_tlb_dir} -t -h
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
  COMMENT "String tables from the message table")
add_custom_target(qx_win_strings DEPENDS ${qx_win_strings})

file(GLOB qx_win_resource_files CONFIGURE_DEPENDS ${qx_win_dir}/res/*)
set(qx_win_rc ${qx_win_dir}/res/quendrilax.rc)
set_source_files_properties(${qx_win_rc} PROPERTIES OBJECT_DEPENDS
                            "${qx_win_tlb};${qx_win_host_tlb};${qx_win_strings};${qx_win_resource_files}")

# The module's resources, shared by the module and the test program (which
# creates the same dialogs from its own image).
add_library(qx_win_resources OBJECT ${qx_win_rc})
add_dependencies(qx_win_resources qx_win_tlb qx_win_strings)
target_include_directories(qx_win_resources PRIVATE ${qx_win_dir}/res ${qx_win_gen})
set_target_properties(qx_win_resources PROPERTIES LINKER_LANGUAGE CXX)

file(GLOB qx_win_dll_sources CONFIGURE_DEPENDS ${qx_win_dir}/dll/*.cpp)
add_library(Quendrilax SHARED ${qx_win_dll_sources} ${qx_win_dir}/dll/quendrilax.def
                              $<TARGET_OBJECTS:qx_win_resources>)
set_target_properties(Quendrilax PROPERTIES PREFIX "" OUTPUT_NAME Quendrilax
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(Quendrilax PRIVATE qx_win_com ${qx_win_static_link} $<$<CONFIG:Release>:-s>)

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
