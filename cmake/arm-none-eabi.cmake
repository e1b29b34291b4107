# Toolchain file for the applets: bare-metal ARM (Debian gcc-arm-none-eabi and
# binutils-arm-none-eabi). The applets link no C library, so CMake's test programs are built
# as static libraries instead of linked programs.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(ARM_TOOLCHAIN_PREFIX arm-none-eabi- CACHE STRING "Prefix of the ARM cross tools")
set(CMAKE_C_COMPILER ${ARM_TOOLCHAIN_PREFIX}gcc)
set(CMAKE_CXX_COMPILER ${ARM_TOOLCHAIN_PREFIX}g++)
set(CMAKE_ASM_COMPILER ${ARM_TOOLCHAIN_PREFIX}gcc)
find_program(CMAKE_OBJDUMP ${ARM_TOOLCHAIN_PREFIX}objdump)
find_program(CMAKE_READELF ${ARM_TOOLCHAIN_PREFIX}readelf)

set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Never pick up host libraries or headers.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
