-- Does not load: the function is never closed.
function QRVSE_OnInstall()
  local x = 1
