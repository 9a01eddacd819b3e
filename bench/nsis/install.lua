-- The benchmark installer's install script: extraction and nothing else,
-- skipped when KW_BENCH_SKIP is "1" (the run that times everything around it).
-- No deliberate waits.
function QRVSE_OnInstall()
  if os.getenv("KW_BENCH_SKIP") ~= "1" then
    assert(Lua_UnCompress7z("App.7z", os.getenv("KW_BENCH_DEST")), "extraction failed")
  end
end
