# Warnings for the project's own targets; third-party headers come in as system includes.
function(obj_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wnon-virtual-dtor
                                           $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
  if(OBJ_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
