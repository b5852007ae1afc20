# Writes visa32's import library so that programs linked against it import the undecorated
# names a vendor's visa32.dll exports ("viOpen", not "viOpen@20"), whichever DLL they meet:
# the linker's definitions file names each __stdcall export as "viOpen = viOpen@20"; the
# import library is made from the decorated names with their decoration killed.
#   cmake -DDEF=<linker .def> -DDLL=visa32.dll -DIMPLIB=<import library> -DDLLTOOL=<dlltool>
#         -P importlib.cmake
file(STRINGS "${DEF}" lines)
set(out "EXPORTS\n")
foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*[A-Za-z_0-9]+ = ([A-Za-z_0-9@]+)")
        string(APPEND out "    ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^[ \t]*([A-Za-z_0-9]+)[ \t]+@")
        string(APPEND out "    ${CMAKE_MATCH_1}\n")
    endif()
endforeach()
file(WRITE "${DEF}.imports" "${out}")
execute_process(COMMAND "${DLLTOOL}" -k -d "${DEF}.imports" -D "${DLL}" -l "${IMPLIB}"
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "dlltool could not write ${IMPLIB}")
endif()
