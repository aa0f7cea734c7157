<?xml version="1.0" encoding="UTF-8"?>
<!-- The page of an archive found on this machine whose classes the catalogue does not know.
     Everything the client knows of it comes as parameters and is written as text. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../../../../../pages/catalogue.xsl"/>
  <xsl:param name="scid" select="''"/>
  <xsl:param name="name" select="''"/>
  <xsl:param name="version" select="''"/>
  <xsl:param name="artifact" select="''"/>
  <xsl:param name="match" select="''"/>
  <xsl:param name="sha1" select="''"/>
  <xsl:param name="sha256" select="''"/>
  <!-- Other versions of the same artifact that the catalogue holds. -->
  <xsl:variable name="catalogued" select="/components/component[string($artifact) and artifact = $artifact]"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title">
        <xsl:choose>
          <xsl:when test="string($name)"><xsl:value-of select="$name"/></xsl:when>
          <xsl:otherwise>Unidentified archive</xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="section" select="'Local'"/>
      <xsl:with-param name="lead" select="'Found on this machine; the catalogue knows none of its classes.'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <dl class="facts">
      <dt>Named by</dt>
      <dd>
        <xsl:choose>
          <xsl:when test="$match = 'metadata'">its pom.properties</xsl:when>
          <xsl:when test="$match = 'manifest'">its MANIFEST.MF</xsl:when>
          <xsl:when test="$match = 'filename'">its file name</xsl:when>
          <xsl:otherwise>nothing in it: only its hashes identify it</xsl:otherwise>
        </xsl:choose>
      </dd>
      <xsl:if test="string($artifact)"><dt>Artifact</dt><dd><code><xsl:value-of select="$artifact"/></code></dd></xsl:if>
      <xsl:if test="string($version)"><dt>Version</dt><dd><xsl:value-of select="$version"/></dd></xsl:if>
      <xsl:if test="string($sha1)"><dt>SHA-1</dt><dd><code><xsl:value-of select="$sha1"/></code></dd></xsl:if>
      <xsl:if test="string($sha256)"><dt>SHA-256</dt><dd><code><xsl:value-of select="$sha256"/></code></dd></xsl:if>
      <dt>Local id</dt><dd><code><xsl:value-of select="$scid"/></code></dd>
    </dl>
    <xsl:choose>
      <xsl:when test="$catalogued">
        <p>The catalogue knows this artifact:</p>
        <xsl:call-template name="component-table">
          <xsl:with-param name="components" select="$catalogued"/>
          <xsl:with-param name="link-prefix" select="'/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/component-overview.xsl&amp;xmlpage=components/vendors/components.bnd&amp;scid='"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <p class="notice">No component of the catalogue has classes in this archive, so the catalogue can tell
          nothing of its vendor, licence or versions.</p>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
