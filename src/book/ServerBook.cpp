#include "book/ServerBook.h"

#include "base/AppFolders.h"

struct ServerBook::Worker
{
};

ServerBook::ServerBook(BookOptions) : m_worker(std::make_unique<Worker>()) {}
ServerBook::~ServerBook() = default;

BookState ServerBook::State() const { return {BookState::Status::kUnavailable, "not built yet"}; }

void ServerBook::Load(std::function<void(std::vector<KnownServer>)> done) { done({}); }

std::future<std::vector<KnownServer>> ServerBook::Load()
{
    std::promise<std::vector<KnownServer>> p;
    p.set_value({});
    return p.get_future();
}

void ServerBook::Record(std::vector<ServerEvent>, std::vector<KnownServer>) {}

void ServerBook::History(std::string, std::function<void(std::vector<ServerEvent>)> done) { done({}); }

std::future<std::vector<ServerEvent>> ServerBook::History(std::string)
{
    std::promise<std::vector<ServerEvent>> p;
    p.set_value({});
    return p.get_future();
}

std::future<std::vector<ServerEvent>> ServerBook::AllEvents() { return History(std::string()); }

std::future<bool> ServerBook::Forget(std::string)
{
    std::promise<bool> p;
    p.set_value(false);
    return p.get_future();
}

void ServerBook::Flush() {}

std::size_t ServerBook::Transactions() const { return 0; }

std::string BookPath(const AppFolders& folders) { return folders.state + "servers.db"; }
