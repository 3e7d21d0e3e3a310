# Checks the section names of the Windows build's files with objdump -h.
#   cmake -DOBJDUMP=... -DLIST=file-of-object-paths -DCHECK=no-init -P check-sections.cmake
#     fails when an object carries static constructors or destructors (.ctors, .dtors,
#     .init_array, .fini_array), TLS data or callbacks (.tls, .CRT$XL*) or any other .CRT$X*
#     initialiser: the program's own entry point runs none of them.
#   cmake -DOBJDUMP=... -DFILES=exe -DCHECK=unwind -P check-sections.cmake
#     fails when the exe has no .pdata, the unwind data the x64 system needs.
cmake_minimum_required(VERSION 3.25)
if(LIST)
  file(STRINGS "${LIST}" FILES)
endif()
foreach(file IN LISTS FILES)
  execute_process(COMMAND "${OBJDUMP}" -h "${file}" OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump -h ${file} failed")
  endif()
  # A section line: index, name, size, addresses, offset, alignment.
  string(REGEX MATCHALL "\n +[0-9]+ +[^ \n]+" lines "${out}")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\n +[0-9]+ +" "" name "${line}")
    list(APPEND names "${name}")
  endforeach()
  if(CHECK STREQUAL "no-init")
    foreach(name IN LISTS names)
      if(name MATCHES "^\\.(ctors|dtors|init_array|fini_array|tls)([.$].*)?$" OR
         name MATCHES "^\\.CRT[$]X")
        message(FATAL_ERROR "${file} has a ${name} section: the program's own entry point runs "
                            "no static constructors, destructors or TLS callbacks, so what needs "
                            "them (a global object with a constructor, a thread_local variable) "
                            "would never be set up")
      endif()
    endforeach()
  elseif(CHECK STREQUAL "unwind")
    if(NOT ".pdata" IN_LIST names)
      message(FATAL_ERROR "${file} has no .pdata section: the x64 system cannot unwind it")
    endif()
  else()
    message(FATAL_ERROR "CHECK must be no-init or unwind")
  endif()
endforeach()
