cmake_minimum_required(VERSION 3.25)
# Fails when a Windows binary imports a library that a plain Windows system lacks
# (such as libwinpthread-1.dll, which would fail silently under Wine).
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${FILE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${out}")
set(allowed kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comctl32 comdlg32
    ws2_32 wsock32 msvcrt crypt32 bcrypt winspool.drv shlwapi version winmm uxtheme)
foreach(n IN LISTS names)
  string(REGEX REPLACE "DLL Name: " "" dll "${n}")
  string(TOLOWER "${dll}" dll)
  string(REGEX REPLACE "\\.dll$" "" base "${dll}")
  if(NOT base IN_LIST allowed AND NOT dll IN_LIST allowed AND NOT base MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${FILE} imports ${dll}, which Windows does not ship")
  endif()
endforeach()
