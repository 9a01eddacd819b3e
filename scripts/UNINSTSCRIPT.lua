-- Uninstall logic of the demo product, run by the product's own uninstaller.
function QRVSE_BeforeInit() end
function QRVSE_OnUninstall() end
function QRVSE_AfterUnintall() end
