#pragma once

#include <QString>

// Comments are stored with CR LF between their lines; the comment fields work with LF alone.
QString CommentForEdit(const QString& stored);
QString CommentForStore(const QString& edited);
