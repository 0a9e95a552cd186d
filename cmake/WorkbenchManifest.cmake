# What the side-by-side manifests and the version resource are made of, read
# from the sources that already hold it: the IDL for Workbench.dll, the table
# of classes for RefSuite.dll. No GUID or version is typed a second time.

# wb_manifest_arch(<var>): the processorArchitecture of this build's DLLs.
function(wb_manifest_arch var)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(${var} x86 PARENT_SCOPE)
  elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(${var} amd64 PARENT_SCOPE)
  else()
    message(FATAL_ERROR "no processorArchitecture for ${CMAKE_SYSTEM_PROCESSOR}")
  endif()
endfunction()

# wb_read_idl(<file> <prefix>): from an IDL with one library, one interface
# and one coclass, sets <prefix>_LIBRARY, <prefix>_INTERFACE, <prefix>_COCLASS
# (their names), <prefix>_LIBID, <prefix>_IID, <prefix>_CLSID (their uuids,
# upper case, without braces) and <prefix>_VERSION_MAJOR / _MINOR (the two
# `#define ..._VERSION_MAJOR n` lines). An edit of the IDL configures again.
function(wb_read_idl file prefix)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  file(READ "${file}" idl)
  # Each uuid is the one of the attribute block right before the keyword.
  foreach(pair library:LIBID interface:IID coclass:CLSID)
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 keyword)
    list(GET pair 1 id)
    string(TOUPPER "${keyword}" name)
    if(NOT idl MATCHES
       "uuid\\(([0-9A-Fa-f-]+)\\)[^]]*\\][ \t\r\n]*${keyword}[ \t\r\n]+([A-Za-z_][A-Za-z0-9_]*)")
      message(FATAL_ERROR "${file}: no uuid before a ${keyword}")
    endif()
    string(TOUPPER "${CMAKE_MATCH_1}" uuid)
    set(${prefix}_${id} "${uuid}" PARENT_SCOPE)
    set(${prefix}_${name} "${CMAKE_MATCH_2}" PARENT_SCOPE)
  endforeach()
  foreach(part MAJOR MINOR)
    if(NOT idl MATCHES "#define [A-Z_]+_VERSION_${part} ([0-9]+)")
      message(FATAL_ERROR "${file}: no #define ..._VERSION_${part}")
    endif()
    set(${prefix}_VERSION_${part} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  endforeach()
endfunction()

# wb_read_class_table(<file> <var>): the `<comClass>` elements of the classes
# in a C++ table of rows `{"ProgID", L"{CLSID}"}`, one row a line.
function(wb_read_class_table file var)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  set(row_regex "\\{\"([A-Za-z0-9_.]+)\", L\"\\{([0-9A-Fa-f-]+)\\}\"\\}")
  file(STRINGS "${file}" rows REGEX "${row_regex}")
  set(elements "")
  foreach(row IN LISTS rows)
    string(REGEX MATCH "${row_regex}" row "${row}")
    string(TOUPPER "${CMAKE_MATCH_2}" clsid)
    string(APPEND elements
      "    <comClass clsid=\"{${clsid}}\" threadingModel=\"Apartment\" progid=\"${CMAKE_MATCH_1}\"/>\n")
  endforeach()
  if(elements STREQUAL "")
    message(FATAL_ERROR "${file}: no rows {\"ProgID\", L\"{CLSID}\"}")
  endif()
  set(${var} "${elements}" PARENT_SCOPE)
endfunction()
