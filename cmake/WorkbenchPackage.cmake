# The Windows Installer packages' registry rows, read from the table that
# Workbench.dll registers from (entry/registry_rows.h), with the GUIDs and the
# version of Workbench.idl: what the DLL writes and what the packages write
# cannot drift apart, and no GUID is typed a second time.

# wb_package_rows(<table> <idl-prefix> <platform> <bits> <out-dir>): writes
#   <out-dir>/registry_each.wxi  the rows each width writes in its own view
#   <out-dir>/registry_both.wxi  the rows written once for both widths (the
#                                first is the key path of their component)
#   <out-dir>/registry_row_count.h  the number of rows read, which the DLL
#                                   checks against its table at compile time
# as WiX <RegistryValue> elements under HKCR for the component of this
# width, whose file is WorkbenchDll<bits> in the folder INSTALLFOLDER<bits>.
function(wb_package_rows table prefix platform bits out_dir)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${table}")
  set(row_regex "^ *\\{RowOwner::(k[A-Za-z]+), L\"([^\"]*)\", (nullptr|L\"([^\"]*)\"), L\"([^\"]*)\"\\},?$")
  file(STRINGS "${table}" lines REGEX "^ *\\{RowOwner::")
  set(each "")
  set(both "")
  set(count 0)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "${row_regex}")
      message(FATAL_ERROR "${table}: a row that the packages cannot read:\n${line}")
    endif()
    set(owner "${CMAKE_MATCH_1}")
    set(key "${CMAKE_MATCH_2}")
    set(name "${CMAKE_MATCH_4}")
    set(value "${CMAKE_MATCH_5}")
    set(expanded "")
    foreach(text IN ITEMS "${key}" "${value}")
      string(REPLACE "\\\\" "\\" text "${text}")
      string(REPLACE "{CLSID}" "{${${prefix}_CLSID}}" text "${text}")
      string(REPLACE "{LIBID}" "{${${prefix}_LIBID}}" text "${text}")
      string(REPLACE "{IID}" "{${${prefix}_IID}}" text "${text}")
      string(REPLACE "{VERSION}" "${${prefix}_VERSION_MAJOR}.${${prefix}_VERSION_MINOR}" text "${text}")
      string(REPLACE "{PLATFORM}" "${platform}" text "${text}")
      string(REPLACE "[FILE]" "[#WorkbenchDll${bits}]" text "${text}")
      string(REPLACE "[FOLDER]" "[INSTALLFOLDER${bits}]" text "${text}")
      if(text MATCHES "[<>&\"]")
        message(FATAL_ERROR "${table}: a row with a character to escape: ${text}")
      endif()
      list(APPEND expanded "${text}")
    endforeach()
    list(GET expanded 0 key)
    list(GET expanded 1 value)
    set(element "  <RegistryValue Root=\"HKCR\" Key=\"${key}\"")
    if(NOT name STREQUAL "")
      string(APPEND element " Name=\"${name}\"")
    endif()
    string(APPEND element " Type=\"string\" Value=\"${value}\"")
    if(owner STREQUAL "kEachWidth")
      string(APPEND each "${element} />\n")
    elseif(owner STREQUAL "kBothWidths")
      # The shared rows are a component of their own, whose key path is its
      # first row.
      if(both STREQUAL "")
        string(APPEND element " KeyPath=\"yes\"")
      endif()
      string(APPEND both "${element} />\n")
    else()
      message(FATAL_ERROR "${table}: no such owner ${owner}")
    endif()
    math(EXPR count "${count} + 1")
  endforeach()
  set(head "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by the build from entry/registry_rows.h. -->\n<Include>\n")
  file(CONFIGURE OUTPUT "${out_dir}/registry_each.wxi" CONTENT "${head}${each}</Include>\n")
  file(CONFIGURE OUTPUT "${out_dir}/registry_both.wxi" CONTENT "${head}${both}</Include>\n")
  file(CONFIGURE OUTPUT "${out_dir}/registry_row_count.h" CONTENT
       "// Written by the build: the rows of entry/registry_rows.h that the packages read.\n#define WB_PACKAGE_REGISTRY_ROWS ${count}\n")
endfunction()
