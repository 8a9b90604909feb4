# Warning flags for the project's own targets, linked privately so they never leak to users.
add_library(bfq_warnings INTERFACE)
target_compile_options(bfq_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast -Wnon-virtual-dtor
  $<$<BOOL:${BFQ_WARNINGS_AS_ERRORS}>:-Werror>)
