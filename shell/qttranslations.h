#pragma once

// Installs Qt's own Brazilian Portuguese translations (Debian qt6-translations-l10n), so the
// toolkit's dialogs speak the operator's language; false when they are not installed.
bool LoadQtTranslations();
