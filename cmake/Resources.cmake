# The program's resources: res/Huevane.rc compiled by a real resource compiler
# into a standard .res file, which is embedded whole in the executable and read
# by win32/resources the way Windows reads a module's resources.
#
#   Huevane.rc --(C preprocessor, RC_INVOKED)--> Huevane.rc.i --(llvm-rc)--> Huevane.res
#   Huevane.res --(.incbin)--> huevane_resources (an OBJECT library)
#
# Provides:
#   huevane_resources  OBJECT library defining win32_module_resources and
#                      win32_module_resources_end, linked into the executable
#   huevane_res        the target that builds the .res
#   HUEVANE_RES_FILE   the .res path, for tests that read it directly

enable_language(ASM)

find_program(HUEVANE_LLVM_RC NAMES llvm-rc llvm-rc-14 REQUIRED
  DOC "The resource compiler that turns res/Huevane.rc into a .res file")

set(HUEVANE_RC_SOURCE ${PROJECT_SOURCE_DIR}/res/Huevane.rc)
set(HUEVANE_RC_PREPROCESSED ${CMAKE_CURRENT_BINARY_DIR}/Huevane.rc.i)
set(HUEVANE_RES_FILE ${CMAKE_CURRENT_BINARY_DIR}/Huevane.res)

# The script includes nothing but these two headers (our windows.h declares no
# C under RC_INVOKED), and names the artwork and the manifest by file name.
file(GLOB HUEVANE_RC_INPUTS CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/res/*.bmp
  ${PROJECT_SOURCE_DIR}/res/*.ico
  ${PROJECT_SOURCE_DIR}/res/*.cur
  ${PROJECT_SOURCE_DIR}/res/*.manifest)
list(APPEND HUEVANE_RC_INPUTS
  ${HUEVANE_RC_SOURCE}
  ${PROJECT_SOURCE_DIR}/src/resource.h
  ${PROJECT_SOURCE_DIR}/win32/include/windows.h)

# llvm-rc 14 cannot preprocess by itself, so the C preprocessor does it first
# (-P: no line markers, which llvm-rc would not understand). /C 1252: the
# script's strings are in the program's ANSI code page. /I res: the artwork is
# named relative to the script, which is no longer where the input is.
# "--": llvm-rc reads a leading "/" as an option mark, so an input under a
# directory such as /ci or /usr would be taken for /C or /U and lost.
add_custom_command(
  OUTPUT ${HUEVANE_RES_FILE}
  COMMAND ${CMAKE_C_COMPILER} -E -P -xc -DRC_INVOKED
          -I ${PROJECT_SOURCE_DIR}/src -I ${PROJECT_SOURCE_DIR}/win32/include
          ${HUEVANE_RC_SOURCE} -o ${HUEVANE_RC_PREPROCESSED}
  COMMAND ${HUEVANE_LLVM_RC} /no-preprocess /C 1252 /I ${PROJECT_SOURCE_DIR}/res
          /FO ${HUEVANE_RES_FILE} -- ${HUEVANE_RC_PREPROCESSED}
  DEPENDS ${HUEVANE_RC_INPUTS}
  BYPRODUCTS ${HUEVANE_RC_PREPROCESSED}
  COMMENT "Compiling res/Huevane.rc"
  VERBATIM)
add_custom_target(huevane_res DEPENDS ${HUEVANE_RES_FILE})

# The .res goes into .rodata as it is; the layer finds it through the two
# symbols. No executable stack: without the note section the linker would
# assume one is needed.
set(HUEVANE_RES_ASM ${CMAKE_CURRENT_BINARY_DIR}/huevane_resources.S)
file(CONFIGURE OUTPUT ${HUEVANE_RES_ASM} CONTENT [[
/* The program's compiled resources (Huevane.res), embedded whole. */
    .section .rodata.win32_module_resources, "a", @progbits
    .balign 16
    .globl win32_module_resources
    .type win32_module_resources, @object
win32_module_resources:
    .incbin "@HUEVANE_RES_FILE@"
    .globl win32_module_resources_end
    .type win32_module_resources_end, @object
win32_module_resources_end:
    .size win32_module_resources, win32_module_resources_end - win32_module_resources
    .section .note.GNU-stack, "", @progbits
]] @ONLY)
set_source_files_properties(${HUEVANE_RES_ASM} PROPERTIES OBJECT_DEPENDS ${HUEVANE_RES_FILE})

add_library(huevane_resources OBJECT ${HUEVANE_RES_ASM})
add_dependencies(huevane_resources huevane_res)
