# The window libraries and COM, loaded at their first call rather than at start: a silent run or a
# console command that needs neither never loads them. GNU ld has no delay-load switch; dlltool
# makes delay-import libraries, here of every export MinGW's own import library names, under the
# same names in a folder of their own that orvik_delay_load puts first in a program's search.
# All six are KnownDLLs or comctl32, which the loader takes by name (comctl32 6 from the
# side-by-side store, as the manifest asks), so the delay-load helper loads them by name too.
set(ORVIK_DELAY_LOADED user32 gdi32 comctl32 shell32 ole32 oleaut32)

function(orvik_make_delay_libraries)
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  string(REGEX REPLACE "g\\+\\+(-posix)?$" "dlltool" dlltool "${CMAKE_CXX_COMPILER}")
  file(MAKE_DIRECTORY ${dir})
  foreach(dll ${ORVIK_DELAY_LOADED})
    find_library(ORVIK_IMPORT_${dll} NAMES lib${dll}.a REQUIRED NO_CACHE)
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${ORVIK_IMPORT_${dll}}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # Import rows: "I __imp_Name" (x64), "I __imp__Name@bytes" (x86, stdcall decorated).
    string(REGEX MATCHALL "I __imp_[^\n]+" rows "${symbols}")
    set(names)
    foreach(row ${rows})
      string(REGEX REPLACE "^I __imp_" "" name "${row}")
      string(REGEX REPLACE "^_" "" name "${name}")  # x86's C prefix, should it come back
      list(APPEND names "${name}")
    endforeach()
    list(REMOVE_DUPLICATES names)
    list(JOIN names "\n" exports)
    file(WRITE ${dir}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
    # --kill-at: the x86 library imports the undecorated names the DLL exports.
    execute_process(COMMAND ${dlltool} --input-def ${dir}/${dll}.def --dllname ${dll}.dll
                            --kill-at --output-delaylib ${dir}/lib${dll}.a
                    COMMAND_ERROR_IS_FATAL ANY)
    if(ORVIK_WOW64)
      # The i386 linker drops a stub's code section from an import library member when nothing
      # names the stub (a call through __imp_ only): right for plain import libraries, but a
      # delayed import slot starts out pointing into that stub, so the slot would hold 0 and
      # the first call would jump there. As data in a .text$ section, the stub stays (placed in
      # .text all the same).
      execute_process(COMMAND ${CMAKE_OBJCOPY} --rename-section
                              ".text=.text$delay,contents,alloc,load,readonly,data"
                              ${dir}/lib${dll}.a
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
  set(ORVIK_DELAY_DIR ${dir} PARENT_SCOPE)
endfunction()

if(WIN32)
  orvik_make_delay_libraries()
  # The helper the delay-import libraries call, after every library on the line.
  string(APPEND CMAKE_CXX_STANDARD_LIBRARIES " -ldelayimp")
endif()

# A program whose window and COM libraries load at their first call.
function(orvik_delay_load target)
  if(WIN32)
    target_link_directories(${target} BEFORE PRIVATE ${ORVIK_DELAY_DIR})
  endif()
endfunction()
