# Placeholder: compiles nothing yet. Provides the target the executable links.
add_library(huevane_resources INTERFACE)
