<?xml version="1.0" encoding="UTF-8"?>
<!-- A package's page over its data file: its interfaces, classes, enums, records and
     annotations, each linked to its class page. packagelink is the documentation's
     package summary when the technology has a documentation root. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../../../../../../pages/layout.xsl"/>
  <xsl:param name="packagename" select="/package/@name"/>
  <xsl:param name="packagelink" select="''"/>

  <xsl:variable name="technology" select="/package/@technology"/>
  <xsl:variable name="summary" select="concat(translate(/package/@name, '.', '/'), '/package-summary.html')"/>
  <!-- The documentation root, when packagelink is a real address of the package summary. -->
  <xsl:variable name="docroot">
    <xsl:if test="(starts-with($packagelink, 'http') or starts-with($packagelink, 'file:'))
                  and contains($packagelink, $summary)">
      <xsl:value-of select="substring-before($packagelink, $summary)"/>
    </xsl:if>
  </xsl:variable>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="concat('Package ', /package/@name)"/>
      <xsl:with-param name="section" select="'Java'"/>
      <xsl:with-param name="lead" select="concat(count(/package/class), ' types in module ', $technology, '.')"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:if test="string($docroot)">
      <p><a href="{$packagelink}">Package summary in the JDK documentation</a></p>
    </xsl:if>
    <xsl:call-template name="group">
      <xsl:with-param name="heading" select="'Interfaces'"/>
      <xsl:with-param name="types" select="/package/class[@kind = 'interface']"/>
    </xsl:call-template>
    <xsl:call-template name="group">
      <xsl:with-param name="heading" select="'Classes'"/>
      <xsl:with-param name="types" select="/package/class[@kind = 'class' and not(contains(className, 'Exception')) and not(contains(className, 'Error'))]"/>
    </xsl:call-template>
    <xsl:call-template name="group">
      <xsl:with-param name="heading" select="'Enums'"/>
      <xsl:with-param name="types" select="/package/class[@kind = 'enum']"/>
    </xsl:call-template>
    <xsl:call-template name="group">
      <xsl:with-param name="heading" select="'Records'"/>
      <xsl:with-param name="types" select="/package/class[@kind = 'record']"/>
    </xsl:call-template>
    <xsl:call-template name="group">
      <xsl:with-param name="heading" select="'Exceptions and errors'"/>
      <xsl:with-param name="types" select="/package/class[@kind = 'class' and (contains(className, 'Exception') or contains(className, 'Error'))]"/>
    </xsl:call-template>
    <xsl:call-template name="group">
      <xsl:with-param name="heading" select="'Annotation types'"/>
      <xsl:with-param name="types" select="/package/class[@kind = 'annotation']"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="group">
    <xsl:param name="heading"/>
    <xsl:param name="types"/>
    <xsl:if test="$types">
      <h2><xsl:value-of select="$heading"/> <span class="count"> (<xsl:value-of select="count($types)"/>)</span></h2>
      <table>
        <tr><th>Name</th><th>Extends</th><th>Members</th></tr>
        <xsl:for-each select="$types">
          <xsl:variable name="dotted" select="translate(className, '$', '.')"/>
          <tr>
            <td>
              <a>
                <xsl:if test="@deprecated"><xsl:attribute name="class">deprecated</xsl:attribute></xsl:if>
                <xsl:attribute name="href">
                  <xsl:choose>
                    <xsl:when test="string($docroot)">
                      <xsl:value-of select="concat($docroot, translate(/package/@name, '.', '/'), '/', $dotted, '.html')"/>
                    </xsl:when>
                    <xsl:otherwise>
                      <xsl:call-template name="class-page-url">
                        <xsl:with-param name="technology" select="$technology"/>
                        <xsl:with-param name="package" select="/package/@name"/>
                        <xsl:with-param name="class" select="$dotted"/>
                      </xsl:call-template>
                    </xsl:otherwise>
                  </xsl:choose>
                </xsl:attribute>
                <code><xsl:value-of select="$dotted"/><xsl:value-of select="typeParameters"/></code>
              </a>
            </td>
            <td><code><xsl:value-of select="superclass"/></code></td>
            <td class="muted"><xsl:value-of select="count(method)"/> methods, <xsl:value-of select="count(field)"/> fields</td>
          </tr>
        </xsl:for-each>
      </table>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
