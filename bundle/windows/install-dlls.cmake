# Installs the DLLs that LARKSPAN_DLL_IMPORTERS (the panel and its plugins) load: each DLL their import
# tables name that one of LARKSPAN_DLL_FOLDERS holds, and the DLLs that one names in turn. A DLL found in
# none of the folders is the system's own (KERNEL32.dll, USER32.dll, ...) and stays out.
# Run at install time (install(SCRIPT)) after LARKSPAN_OBJDUMP, LARKSPAN_DLL_FOLDERS and
# LARKSPAN_DLL_IMPORTERS are set.
set(queue ${LARKSPAN_DLL_IMPORTERS})
set(seen)
while(queue)
  list(POP_FRONT queue file)
  execute_process(COMMAND ${LARKSPAN_OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${LARKSPAN_OBJDUMP} could not read the import table of ${file}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  foreach(line ${lines})
    string(REGEX REPLACE "^DLL Name: *" "" name "${line}")
    string(STRIP "${name}" name)
    # Windows compares DLL names without regard to case.
    string(TOLOWER "${name}" key)
    # list(FIND), not IN_LIST: cmake_install.cmake runs with every policy unset.
    list(FIND seen "${key}" index)
    if(NOT index EQUAL -1)
      continue()
    endif()
    list(APPEND seen ${key})
    foreach(folder ${LARKSPAN_DLL_FOLDERS})
      if(EXISTS "${folder}/${name}")
        file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}" TYPE SHARED_LIBRARY FILES "${folder}/${name}")
        list(APPEND queue "${folder}/${name}")
        break()
      endif()
    endforeach()
  endforeach()
endwhile()
