# Warnings every target of ours links against.
add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE
  -Wall -Wextra            # the common mistakes
  -Wpedantic               # stay within standard C++
  -Wshadow                 # a local hiding a member has bitten form code before
  -Wnon-virtual-dtor       # interfaces are deleted through base pointers
  -Wold-style-cast         # casts must say what they do
  -Wcast-align
  -Woverloaded-virtual     # a handler that fails to override is a silent bug
  # -Wnull-dereference is left out: at -O2 it fires inside Qt's own inline headers
  -Wformat=2
)
if(GERARQPREV_WERROR)
  # CI turns warnings into errors; local builds keep going.
  target_compile_options(project_warnings INTERFACE -Werror)
endif()
