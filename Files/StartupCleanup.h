#pragma once
// Start-up: temporary files left by writes that a power cut or a kill ended
// are removed before anything writes again, so they never eat the storage.
void removeStaleTemporaryFiles();
