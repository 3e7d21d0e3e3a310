# Checks the exe's header flags and imports with objdump -p, after the link.
#   cmake -DOBJDUMP=... -DFILE=exe -DFLAGS="DYNAMIC_BASE;NX_COMPAT;..." -P check-imports.cmake
# fails when one of FLAGS is missing from its DllCharacteristics, or when it imports a library
# that is not a KnownDLL: Windows looks for any other beside the exe first, where a stray DLL of
# that name would run inside the program. comctl32 is bound side by side by the manifest.
cmake_minimum_required(VERSION 3.25)
set(allowed kernel32.dll user32.dll gdi32.dll shell32.dll msvcrt.dll comctl32.dll)
set(bits_DYNAMIC_BASE 0x40)
set(bits_HIGH_ENTROPY_VA 0x20)
set(bits_NX_COMPAT 0x100)
set(bits_TERMINAL_SERVER_AWARE 0x8000)

execute_process(COMMAND "${OBJDUMP}" -p "${FILE}" OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump -p ${FILE} failed")
endif()
if(NOT out MATCHES "\nDllCharacteristics[ \t]+([0-9a-fA-F]+)")
  message(FATAL_ERROR "${FILE}: objdump -p shows no DllCharacteristics")
endif()
math(EXPR characteristics "0x${CMAKE_MATCH_1}")
foreach(flag IN LISTS FLAGS)
  if(NOT DEFINED bits_${flag})
    message(FATAL_ERROR "unknown flag ${flag}")
  endif()
  math(EXPR set "${characteristics} & ${bits_${flag}}")
  if(set EQUAL 0)
    message(FATAL_ERROR "${FILE} lacks ${flag} in its DllCharacteristics")
  endif()
endforeach()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${out}")
foreach(line IN LISTS names)
  string(REGEX REPLACE "^DLL Name: " "" name "${line}")
  string(TOLOWER "${name}" lower)
  if(NOT lower IN_LIST allowed)
    message(FATAL_ERROR "${FILE} imports ${name}: not a KnownDLL, so Windows would look for it "
                        "beside the exe first; load it from the system folder at run time")
  endif()
endforeach()
