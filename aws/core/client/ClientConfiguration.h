// Aws::Client::ClientConfiguration: the settings of a service client, with the SDK's defaults.
//
// Offered: userAgent, scheme, region, connectTimeoutMs (time to connect), requestTimeoutMs
// (longest stall of a transfer in progress, counted in whole seconds, at least one, as the
// SDK's curl client does), retryStrategy, verifySSL, caFile. Not offered: endpoint override,
// proxies, connection limits; requests always go direct to the endpoint the client derives.
#pragma once

#include <memory>

#include "aws/core/client/DefaultRetryStrategy.h"
#include "aws/core/client/RetryStrategy.h"
#include "aws/core/http/Scheme.h"
#include "aws/core/utils/memory/stl/AWSString.h"

namespace Aws {
namespace Client {

struct ClientConfiguration {
  ClientConfiguration() : retryStrategy(std::make_shared<DefaultRetryStrategy>()) {}

  Aws::String userAgent = "txaws/1.0";
  Aws::Http::Scheme scheme = Aws::Http::Scheme::HTTPS;
  Aws::String region = "us-east-1";
  long connectTimeoutMs = 1000;
  long requestTimeoutMs = 3000;
  std::shared_ptr<RetryStrategy> retryStrategy;
  bool verifySSL = true;
  // A PEM bundle to trust in place of the system's; empty for the system's store.
  Aws::String caFile;
};

}  // namespace Client
}  // namespace Aws
