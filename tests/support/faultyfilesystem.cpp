#include "faultyfilesystem.h"

#include "storage/fileerror.h"

using namespace vellumar;

void FaultyFileSystem::fail(Operation operation, int errorNumber) {
    m_errors[static_cast<int>(operation)] = errorNumber;
}

void FaultyFileSystem::failNothing() {
    for (int& error : m_errors)
        error = 0;
}

int FaultyFileSystem::calls(Operation operation) const {
    return m_calls[static_cast<int>(operation)];
}

int FaultyFileSystem::errorFor(Operation operation) const {
    ++m_calls[static_cast<int>(operation)];
    return m_errors[static_cast<int>(operation)];
}

Result<FileSystem::Kind> FaultyFileSystem::kind(const QString& path) const {
    if (const int error = errorFor(Operation::Kind))
        return fileFailure(FileAction::Read, path, error);
    return m_real.kind(path);
}

Status FaultyFileSystem::rename(const QString& from, const QString& to) {
    if (const int error = errorFor(Operation::Rename))
        return fileFailure(FileAction::Rename, from, error);
    return m_real.rename(from, to);
}

Status FaultyFileSystem::remove(const QString& path) {
    if (const int error = errorFor(Operation::Remove))
        return fileFailure(FileAction::Remove, path, error);
    return m_real.remove(path);
}

Status FaultyFileSystem::copy(const QString& from, const QString& to) {
    if (const int error = errorFor(Operation::Copy))
        return fileFailure(FileAction::Write, to, error);
    return m_real.copy(from, to);
}

Status FaultyFileSystem::link(const QString& from, const QString& to) {
    if (const int error = errorFor(Operation::Link))
        return fileFailure(FileAction::Write, to, error);
    return m_real.link(from, to);
}

Status FaultyFileSystem::makeFolder(const QString& path) {
    if (const int error = errorFor(Operation::MakeFolder))
        return fileFailure(FileAction::CreateFolder, path, error);
    return m_real.makeFolder(path);
}

Status FaultyFileSystem::removeFolder(const QString& path) {
    if (const int error = errorFor(Operation::RemoveFolder))
        return fileFailure(FileAction::Remove, path, error);
    return m_real.removeFolder(path);
}

Result<QStringList> FaultyFileSystem::list(const QString& folder) const {
    if (const int error = errorFor(Operation::List))
        return fileFailure(FileAction::Read, folder, error);
    return m_real.list(folder);
}
