# Every target of ours compiles warning-free with these.
add_compile_options(-Wall -Wextra)
