# Copies SRC to DST when SRC exists (the help file is optional for a build).
if(EXISTS "${SRC}")
  file(COPY_FILE "${SRC}" "${DST}" ONLY_IF_DIFFERENT)
endif()
