# The real Windows executable: Huevane.exe, a 32-bit GUI program built from
# src/ and res/ against the compiler's own Windows headers and the system's
# import libraries. Nothing of win32/ (our layer for Linux) takes part here.
# Included by the root CMakeLists.txt when the target is Windows, natively
# (MSYS2) or through cmake/toolchain-mingw-i686.cmake.
enable_language(RC)

add_executable(Huevane WIN32 ${HUEVANE_PROGRAM_SOURCES} res/Huevane.rc)

# resource.h is shared by the code and the resource script; the script names
# its images, cursor, icons and manifest without a path, so res/ is searched too.
target_include_directories(Huevane PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_include_directories(Huevane PRIVATE $<$<COMPILE_LANGUAGE:RC>:${PROJECT_SOURCE_DIR}/res>)

target_compile_options(Huevane PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Werror>)

# The resource script's images are separate files: rebuild the .res when one changes.
file(GLOB HUEVANE_RESOURCE_FILES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/res/*.bmp ${PROJECT_SOURCE_DIR}/res/*.ico ${PROJECT_SOURCE_DIR}/res/*.cur
  ${PROJECT_SOURCE_DIR}/res/*.manifest ${PROJECT_SOURCE_DIR}/src/resource.h)
set_source_files_properties(res/Huevane.rc PROPERTIES OBJECT_DEPENDS "${HUEVANE_RESOURCE_FILES}")

# Only the six system libraries the program calls, plus msvcrt from the C
# runtime: CMake's default list (winspool, shell32, ole32, ...) is dropped, and
# the GCC runtime and libstdc++ are linked in statically so that no
# libgcc_s/libstdc++/libwinpthread DLL has to travel with the executable.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")
target_link_libraries(Huevane PRIVATE user32 gdi32 comctl32 comdlg32 advapi32 kernel32)
target_link_options(Huevane PRIVATE -static -static-libgcc -static-libstdc++
  $<$<CONFIG:Release,MinSizeRel>:-s>)

# The checker reads the finished executable: machine, subsystem, imports,
# resources, version block and manifest (see tools/check_windows_exe.py).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_custom_target(check_windows_exe
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/check_windows_exe.py $<TARGET_FILE:Huevane>
    DEPENDS Huevane
    COMMENT "Checking Huevane.exe"
    VERBATIM)
endif()
