# Fails unless EXE imports only DLLs that every Windows loads from its system folder, so that the
# installer is one file that starts on any workstation. Run as:
#   cmake -DOBJDUMP=... -DEXE=... -P CheckImports.cmake
set(allowed advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
            oleaut32.dll shell32.dll shlwapi.dll user32.dll)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "no imports found in ${EXE}")
endif()
foreach(entry ${names})
  string(REPLACE "DLL Name: " "" dll "${entry}")
  string(TOLOWER "${dll}" dll)
  list(FIND allowed "${dll}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${EXE} imports ${dll}, which is not a system DLL")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
